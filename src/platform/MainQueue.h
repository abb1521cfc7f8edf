#pragma once
// The main thread's task queue, the one clock of the program: every delay goes through it.
// Owned by the composition root; outlives every component.

#include <functional>

namespace vellotype {

class MainQueue {
 public:
  using Task = std::function<void()>;

  virtual ~MainQueue() = default;

  // Runs `task` on the main thread soon, after tasks posted before it. Safe from any thread.
  virtual void post(Task task) = 0;

  // Runs `task` on the main thread once `seconds` have passed (negative counts as zero).
  // Safe from any thread.
  virtual void postAfter(double seconds, Task task) = 0;

  // Holds up the calling (main) thread. Keep it to a few milliseconds: nothing else runs.
  virtual void blockFor(double seconds);
};

}  // namespace vellotype
