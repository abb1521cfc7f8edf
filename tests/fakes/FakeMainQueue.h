#pragma once
// A main queue on virtual time: nothing runs until the test advances the clock. Tasks run in
// order of due time, then of posting; tasks may post tasks. Single-threaded.

#include <chrono>
#include <cmath>
#include <map>
#include <stdexcept>

#include "platform/MainQueue.h"

namespace vellotype {

using VirtualTime = std::chrono::nanoseconds;

// Seconds as the queue counts them, rounded to the nanosecond so that sums such as
// 0.5 + 0.1 land exactly on 0.6.
inline VirtualTime seconds(double s) { return VirtualTime(std::llround(s * 1e9)); }

class FakeMainQueue : public MainQueue {
 public:
  void post(Task task) override { postAfter(0, std::move(task)); }
  void postAfter(double delay, Task task) override {
    tasks_.emplace(std::pair{now_ + std::max(VirtualTime(0), seconds(delay)), sequence_++},
                   std::move(task));
  }
  // The main thread is held up: time passes, and what fell due runs once it is free again.
  void blockFor(double delay) override { now_ += std::max(VirtualTime(0), seconds(delay)); }

  VirtualTime now() const { return now_; }
  std::size_t pendingCount() const { return tasks_.size(); }

  // Runs every task due up to now + seconds, including those they post, then sets the clock.
  void advanceBy(double delay) { advanceTo(now_ + seconds(delay)); }
  void advanceTo(VirtualTime time) {
    if (time < now_) throw std::logic_error("virtual time cannot go back");
    while (runNextDueBy(time)) {
    }
    now_ = time;
  }
  // Runs everything that is queued now or gets queued, moving the clock as far as needed.
  void runUntilIdle() {
    while (runNextDueBy(VirtualTime::max())) {
    }
  }

 private:
  bool runNextDueBy(VirtualTime limit) {
    if (tasks_.empty() || tasks_.begin()->first.first > limit) return false;
    auto node = tasks_.extract(tasks_.begin());
    now_ = node.key().first;
    node.mapped()();
    return true;
  }

  VirtualTime now_{0};
  std::uint64_t sequence_ = 0;
  std::map<std::pair<VirtualTime, std::uint64_t>, Task> tasks_;
};

}  // namespace vellotype
