#pragma once
// An event tap the test types through: send() hands an event to the filter, as the real tap's
// thread would, while the tap runs. `startResult` decides how start() ends.

#include <optional>
#include <vector>

#include "platform/EventTap.h"

namespace vellotype {

class FakeEventTap : public EventTap {
 public:
  StartResult start(const TriggerKey& trigger, Filter newFilter) override {
    stop();
    if (startResult != StartResult::started) return startResult;
    watched = trigger;
    filter = std::move(newFilter);
    return startResult;
  }
  void stop() override {
    filter = nullptr;
    watched.reset();
  }

  bool running() const { return filter != nullptr; }
  // Nothing when no tap is running: the event went past.
  std::optional<Disposition> send(const KeyEvent& event) {
    return filter ? std::optional(filter(event)) : std::nullopt;
  }

  StartResult startResult = StartResult::started;
  std::optional<TriggerKey> watched;
  Filter filter;
};

}  // namespace vellotype
