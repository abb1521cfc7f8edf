#pragma once
// Records "settingsWindow: show", or "<name>: show" for the speech service's window.

#include "app/SettingsWindowInterface.h"
#include "app/SpeechServiceSettingsWindowInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeSettingsWindow : public SettingsWindowInterface, Recorder {
 public:
  using Recorder::Recorder;
  void makeKeyAndOrderFront() override { log_.record("settingsWindow: show"); }
};

class FakeSpeechServiceSettingsWindow : public SpeechServiceSettingsWindowInterface, Recorder {
 public:
  using Recorder::Recorder;
  void makeKeyAndOrderFront() override { log_.record("speechServiceWindow: show"); }
};

}  // namespace vellotype
