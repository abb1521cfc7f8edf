#pragma once
// The main queue of an integration test: any thread may post, and the test's own thread runs
// the tasks while it waits for what they report. Owned by the test.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

#include "platform/MainQueue.h"

namespace vellotype::testing {

class TestMainQueue : public MainQueue {
 public:
  void post(Task task) override;
  void postAfter(double seconds, Task task) override;

  // Runs tasks as they fall due until `done` holds or `timeout` has passed; says whether it holds.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(2));
  // Runs the tasks due now, and those they post for now.
  void runPending();

 private:
  using Clock = std::chrono::steady_clock;

  std::mutex mutex_;
  std::condition_variable posted_;
  std::multimap<Clock::time_point, Task> tasks_;  // equal times keep the order of posting
};

}  // namespace vellotype::testing
