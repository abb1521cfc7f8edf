#include "platform/OneShotTimer.h"

#include <utility>

namespace vellotype {

std::shared_ptr<OneShotTimer> OneShotTimer::schedule(MainQueue& queue, double seconds,
                                                     std::function<void()> block) {
  std::shared_ptr<OneShotTimer> timer(new OneShotTimer(std::move(block)));
  queue.postAfter(seconds, [timer] { timer->fire(); });
  return timer;
}

void OneShotTimer::invalidate() { block_ = nullptr; }

void OneShotTimer::fire() {
  // A fired timer is spent: take the block out first so it may safely re-schedule or drop us.
  auto block = std::exchange(block_, nullptr);
  if (block) block();
}

}  // namespace vellotype
