#include "platform/keyboard/session/FirstStartingEventTap.h"

namespace vellotype {

FirstStartingEventTap::FirstStartingEventTap(std::vector<std::pair<std::string, EventTap*>> taps)
    : taps_(std::move(taps)) {}

EventTap::StartResult FirstStartingEventTap::start(const TriggerKey& trigger, Filter filter) {
  stop();
  auto failure = StartResult::unavailable;
  for (const auto& [name, tap] : taps_) {
    const auto result = tap->start(trigger, filter);
    if (result == StartResult::started) {
      active_ = tap;
      activeName_ = name;
      return result;
    }
    if (result == StartResult::keyInUse) failure = result;
  }
  return failure;
}

void FirstStartingEventTap::stop() {
  if (active_) active_->stop();
  active_ = nullptr;
  activeName_.clear();
}

}  // namespace vellotype
