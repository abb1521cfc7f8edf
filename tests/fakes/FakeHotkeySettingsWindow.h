#pragma once
// Records "hotkeyWindow: reload" and "hotkeyWindow: show".

#include "app/HotkeySettingsWindowInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeHotkeySettingsWindow : public HotkeySettingsWindowInterface {
 public:
  explicit FakeHotkeySettingsWindow(CallLog& log) : log_(log) {}
  void reload() override { log_.record("hotkeyWindow: reload"); }
  void makeKeyAndOrderFront() override { log_.record("hotkeyWindow: show"); }

 private:
  CallLog& log_;
};

}  // namespace vellotype
