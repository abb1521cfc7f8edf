#pragma once
// Records "keyboard: chord <key code> <flags in hex>".

#include <cstdio>

#include "fakes/CallLog.h"
#include "platform/KeyboardEvents.h"

namespace vellotype {

class FakeKeyboardEvents : public KeyboardEvents, Recorder {
 public:
  using Recorder::Recorder;

  std::vector<std::string> focusedWindowClasses() override { return focusedClasses; }
  void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) override {
    char text[48];
    std::snprintf(text, sizeof text, "keyboard: chord %u %llx", keyCode,
                  static_cast<unsigned long long>(flags));
    log_.record(text);
  }

  std::vector<std::string> focusedClasses;
};

}  // namespace vellotype
