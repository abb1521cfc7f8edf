#pragma once
// A FakeMainQueue that other threads may post into: their tasks wait until the test's thread
// takes them in, at the virtual time of that moment. The clock moves only when the test moves
// it. The thread that makes it is its main thread; owned by the test.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "fakes/FakeMainQueue.h"

namespace vellotype {

class ThreadSafeFakeMainQueue : public MainQueue {
 public:
  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  void blockFor(double seconds) override { queue_.blockFor(seconds); }

  // The rest is for the main thread.
  const FakeMainQueue& clock() const { return queue_; }
  // Takes in what other threads posted, then runs the clock on.
  void advanceBy(double seconds);
  // Takes in other threads' tasks as they arrive and runs what is due, without moving the clock,
  // until `done` holds or `timeout` has passed in real time; says whether it holds.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(2));

 private:
  void takeIn();

  const std::thread::id mainThread_ = std::this_thread::get_id();
  FakeMainQueue queue_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<std::pair<double, Task>> fromOtherThreads_;  // guarded by mutex_
};

}  // namespace vellotype
