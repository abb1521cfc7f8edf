#pragma once
// The main queue of an integration test: any thread may post, and the test's own thread runs
// the tasks while it waits for what they report. Owned by the test.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

#include "platform/MainQueue.h"

namespace vellotype::testing {

class TestMainQueue : public MainQueue {
 public:
  void post(Task task) override { postAfter(0, std::move(task)); }
  void postAfter(double seconds, Task task) override {
    const auto delay = std::chrono::duration<double>(std::max(seconds, 0.0));
    {
      std::lock_guard lock(mutex_);
      tasks_.emplace(Clock::now() + std::chrono::duration_cast<Clock::duration>(delay),
                     std::move(task));
    }
    posted_.notify_all();
  }

  // Runs tasks as they fall due until `done` holds or `timeout` has passed; says whether it holds.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      runPending();
      if (done()) return true;
      std::unique_lock lock(mutex_);
      if (Clock::now() >= deadline) return false;
      posted_.wait_until(lock,
                         tasks_.empty() ? deadline : std::min(deadline, tasks_.begin()->first));
    }
  }

  // Runs the tasks due now, and those they post for now.
  void runPending() {
    for (;;) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty() || tasks_.begin()->first > Clock::now()) return;
        task = std::move(tasks_.begin()->second);
        tasks_.erase(tasks_.begin());
      }
      task();
    }
  }

 private:
  using Clock = std::chrono::steady_clock;

  std::mutex mutex_;
  std::condition_variable posted_;
  std::multimap<Clock::time_point, Task> tasks_;  // equal times keep the order of posting
};

}  // namespace vellotype::testing
