#pragma once
// Start at login as a flag the test sets, or a change that fails with a scripted reason.
// Records "loginItems: on" and "loginItems: off".

#include "fakes/CallLog.h"
#include "platform/LoginItems.h"

namespace vellotype {

class FakeLoginItems : public LoginItems, Recorder {
 public:
  using Recorder::Recorder;

  bool isEnabled() override { return enabled; }
  std::optional<std::string> setEnabled(bool on) override {
    log_.record(on ? "loginItems: on" : "loginItems: off");
    if (failure) return failure;
    enabled = on;
    return std::nullopt;
  }

  bool enabled = false;
  std::optional<std::string> failure;  // each change fails with this reason
};

}  // namespace vellotype
