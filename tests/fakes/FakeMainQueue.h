#pragma once
// A main queue on virtual time: nothing runs until the test advances the clock. Tasks run in
// order of due time, then of posting; tasks may post tasks. Single-threaded.

#include <chrono>
#include <cstdint>
#include <map>
#include <utility>

#include "platform/MainQueue.h"

namespace vellotype {

using VirtualTime = std::chrono::nanoseconds;

// Seconds as the queue counts them, rounded to the nanosecond so that sums such as
// 0.5 + 0.1 land exactly on 0.6.
VirtualTime seconds(double s);

class FakeMainQueue : public MainQueue {
 public:
  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  // The main thread is held up: time passes, and what fell due runs once it is free again.
  void blockFor(double seconds) override;

  VirtualTime now() const { return now_; }
  std::size_t pendingCount() const { return tasks_.size(); }

  // Runs every task due up to now + seconds, including those they post, then sets the clock.
  void advanceBy(double seconds);
  void advanceTo(VirtualTime time);
  // Runs everything that is queued now or gets queued, moving the clock as far as needed.
  void runUntilIdle();

 private:
  bool runNextDueBy(VirtualTime limit);

  VirtualTime now_{0};
  std::uint64_t sequence_ = 0;
  std::map<std::pair<VirtualTime, std::uint64_t>, Task> tasks_;
};

}  // namespace vellotype
