#pragma once
// Records "settingsWindow: show".

#include "app/SettingsWindowInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeSettingsWindow : public SettingsWindowInterface, Recorder {
 public:
  using Recorder::Recorder;
  void makeKeyAndOrderFront() override { log_.record("settingsWindow: show"); }
};

}  // namespace vellotype
