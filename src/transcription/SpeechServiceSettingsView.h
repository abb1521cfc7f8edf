#pragma once
// The widgets of the transcription service's settings window: the correction service's form
// (fields, status line, Test and Save) plus the choice of languages and the live-words switch.
// Main thread only; owned by the window's logic.

#include "refinement/SettingsView.h"
#include "transcription/SpeechServiceSettings.h"

namespace vellotype {

// SettingsView is a virtual base so that a toolkit view can extend the correction service's
// view and still be one SettingsView.
class SpeechServiceSettingsView : public virtual SettingsView {
 public:
  using Languages = SpeechServiceSettings::Languages;

  virtual Languages languages() const = 0;
  virtual void setLanguages(Languages languages) = 0;
  virtual bool liveWords() const = 0;
  virtual void setLiveWords(bool on) = 0;
};

}  // namespace vellotype
