#include "TestMainQueue.h"

#include <algorithm>

namespace vellotype::testing {

void TestMainQueue::post(Task task) { postAfter(0, std::move(task)); }

void TestMainQueue::postAfter(double seconds, Task task) {
  const auto due = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(std::max(seconds, 0.0)));
  {
    std::lock_guard lock(mutex_);
    tasks_.emplace(due, std::move(task));
  }
  posted_.notify_all();
}

bool TestMainQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    runPending();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    if (Clock::now() >= deadline) return false;
    const auto wakeAt = tasks_.empty() ? deadline : std::min(deadline, tasks_.begin()->first);
    posted_.wait_until(lock, wakeAt);
  }
}

void TestMainQueue::runPending() {
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

}  // namespace vellotype::testing
