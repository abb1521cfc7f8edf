#pragma once
// A FakeMainQueue that other threads may post into: their tasks wait until the test's thread
// takes them in, at the virtual time of that moment. The clock moves only when the test moves
// it. The thread that makes it is its main thread; owned by the test.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "fakes/FakeMainQueue.h"

namespace vellotype {

class ThreadSafeFakeMainQueue : public MainQueue {
 public:
  void post(Task task) override { postAfter(0, std::move(task)); }
  void postAfter(double seconds, Task task) override {
    if (std::this_thread::get_id() == mainThread_)
      return queue_.postAfter(seconds, std::move(task));
    {
      const std::lock_guard lock(mutex_);
      fromOtherThreads_.emplace_back(seconds, std::move(task));
    }
    posted_.notify_all();
  }
  void blockFor(double seconds) override { queue_.blockFor(seconds); }

  // The rest is for the main thread.
  const FakeMainQueue& clock() const { return queue_; }
  // Takes in what other threads posted, then runs the clock on.
  void advanceBy(double seconds) {
    takeIn();
    queue_.advanceBy(seconds);
  }
  // Takes in other threads' tasks as they arrive and runs what is due, without moving the clock,
  // until `done` holds or `timeout` has passed in real time; says whether it holds.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      takeIn();
      queue_.advanceBy(0);
      if (done()) return true;
      std::unique_lock lock(mutex_);
      if (!posted_.wait_until(lock, deadline, [this] { return !fromOtherThreads_.empty(); })) {
        return false;
      }
    }
  }

 private:
  void takeIn() {
    std::vector<std::pair<double, Task>> arrived;
    {
      const std::lock_guard lock(mutex_);
      arrived.swap(fromOtherThreads_);
    }
    for (auto& [seconds, task] : arrived) queue_.postAfter(seconds, std::move(task));
  }

  const std::thread::id mainThread_ = std::this_thread::get_id();
  FakeMainQueue queue_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<std::pair<double, Task>> fromOtherThreads_;  // guarded by mutex_
};

}  // namespace vellotype
