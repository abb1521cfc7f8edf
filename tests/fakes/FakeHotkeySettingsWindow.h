#pragma once
// Records "hotkeyWindow: reload" and "hotkeyWindow: show".

#include "app/HotkeySettingsWindowInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeHotkeySettingsWindow : public HotkeySettingsWindowInterface, Recorder {
 public:
  using Recorder::Recorder;
  void reload() override { log_.record("hotkeyWindow: reload"); }
  void makeKeyAndOrderFront() override { log_.record("hotkeyWindow: show"); }
};

}  // namespace vellotype
