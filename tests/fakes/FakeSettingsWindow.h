#pragma once
// Records "settingsWindow: show", or "<name>: show" for the speech service's window.

#include "fakes/CallLog.h"
#include "refinement/SettingsWindowInterface.h"
#include "transcription/SpeechServiceSettingsWindowInterface.h"

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
