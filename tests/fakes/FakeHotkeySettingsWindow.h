#pragma once
// Records "hotkeyWindow: reload" and "hotkeyWindow: show".

#include "fakes/CallLog.h"
#include "hotkey/HotkeySettingsWindowInterface.h"

namespace vellotype {

class FakeHotkeySettingsWindow : public HotkeySettingsWindowInterface, Recorder {
 public:
  using Recorder::Recorder;
  void reload() override { log_.record("hotkeyWindow: reload"); }
  void makeKeyAndOrderFront() override { log_.record("hotkeyWindow: show"); }
};

}  // namespace vellotype
