#pragma once
// The transcription service's settings window. Main thread only; created by the application on
// first use and kept.

#include <functional>

#include "refinement/SettingsWindowInterface.h"

namespace vellotype {

class SpeechServiceSettingsWindowInterface : public SettingsWindowInterface {
 public:
  // The settings were stored: which languages the service serves may have changed.
  std::function<void()> onChange;
};

}  // namespace vellotype
