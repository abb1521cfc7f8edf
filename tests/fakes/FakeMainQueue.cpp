#include "fakes/FakeMainQueue.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vellotype {

VirtualTime seconds(double s) { return VirtualTime(std::llround(s * 1e9)); }

void FakeMainQueue::post(Task task) { postAfter(0, std::move(task)); }

void FakeMainQueue::postAfter(double delay, Task task) {
  const auto due = now_ + std::max(VirtualTime(0), seconds(delay));
  tasks_.emplace(std::pair{due, sequence_++}, std::move(task));
}

void FakeMainQueue::blockFor(double delay) { now_ += std::max(VirtualTime(0), seconds(delay)); }

void FakeMainQueue::advanceBy(double delay) { advanceTo(now_ + seconds(delay)); }

void FakeMainQueue::advanceTo(VirtualTime time) {
  if (time < now_) throw std::logic_error("virtual time cannot go back");
  while (runNextDueBy(time)) {
  }
  now_ = time;
}

void FakeMainQueue::runUntilIdle() {
  while (runNextDueBy(VirtualTime::max())) {
  }
}

bool FakeMainQueue::runNextDueBy(VirtualTime limit) {
  if (tasks_.empty() || tasks_.begin()->first.first > limit) return false;
  auto node = tasks_.extract(tasks_.begin());
  now_ = node.key().first;
  node.mapped()();
  return true;
}

}  // namespace vellotype
