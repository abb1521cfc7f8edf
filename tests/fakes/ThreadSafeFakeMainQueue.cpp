#include "fakes/ThreadSafeFakeMainQueue.h"

namespace vellotype {

void ThreadSafeFakeMainQueue::post(Task task) { postAfter(0, std::move(task)); }

void ThreadSafeFakeMainQueue::postAfter(double seconds, Task task) {
  if (std::this_thread::get_id() == mainThread_) {
    queue_.postAfter(seconds, std::move(task));
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    fromOtherThreads_.emplace_back(seconds, std::move(task));
  }
  posted_.notify_all();
}

void ThreadSafeFakeMainQueue::advanceBy(double seconds) {
  takeIn();
  queue_.advanceBy(seconds);
}

bool ThreadSafeFakeMainQueue::runUntil(const std::function<bool()>& done,
                                       std::chrono::milliseconds timeout) {
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

void ThreadSafeFakeMainQueue::takeIn() {
  std::vector<std::pair<double, Task>> arrived;
  {
    const std::lock_guard lock(mutex_);
    arrived.swap(fromOtherThreads_);
  }
  for (auto& [seconds, task] : arrived) queue_.postAfter(seconds, std::move(task));
}

}  // namespace vellotype
