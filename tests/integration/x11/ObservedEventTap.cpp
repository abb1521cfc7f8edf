#include "ObservedEventTap.h"

namespace vellotype::testing {

EventTap::StartResult ObservedEventTap::start(const TriggerKey& trigger, Filter filter) {
  return tap_.start(trigger, [this, filter = std::move(filter)](const KeyEvent& event) {
    const auto disposition = filter(event);
    {
      std::lock_guard lock(mutex_);
      events_.push_back(event);
    }
    seen_.notify_all();
    return disposition;
  });
}

bool ObservedEventTap::waitUntil(const std::function<bool(const std::vector<KeyEvent>&)>& done,
                                 std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return seen_.wait_for(lock, timeout, [&] { return done(events_); });
}

std::vector<KeyEvent> ObservedEventTap::events() {
  std::lock_guard lock(mutex_);
  return events_;
}

}  // namespace vellotype::testing
