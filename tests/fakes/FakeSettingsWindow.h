#pragma once
// Records "settingsWindow: show".

#include "app/SettingsWindowInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeSettingsWindow : public SettingsWindowInterface {
 public:
  explicit FakeSettingsWindow(CallLog& log) : log_(log) {}
  void makeKeyAndOrderFront() override { log_.record("settingsWindow: show"); }

 private:
  CallLog& log_;
};

}  // namespace vellotype
