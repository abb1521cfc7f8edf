#pragma once
// The program's components wired to the desktop platform: the correction and transcription
// clients, the recognition routed per language, the key monitor, and the application object
// with the engine, the injector and the windows it makes. Main thread only; made by main() after
// the platform, kept until main() returns; the key monitor stops as it goes.

#include <memory>

#include "DesktopPlatform.h"
#include "app/AppDelegate.h"
#include "hotkey/KeyMonitor.h"
#include "platform/recognition/routing/RoutedSpeechRecognition.h"
#include "refinement/LLMRefiner.h"
#include "transcription/RecordingRetry.h"
#include "transcription/TranscriptionClient.h"

namespace vellotype {

struct ApplicationComponents {
  explicit ApplicationComponents(DesktopPlatform& platform);
  ~ApplicationComponents();
  ApplicationComponents(const ApplicationComponents&) = delete;
  ApplicationComponents& operator=(const ApplicationComponents&) = delete;

  LLMRefiner refiner;
  TranscriptionClient transcriptionClient;
  RecordingRetry recordingRetry;
  // Each language is recognised by its local model, the transcription service, or both.
  RoutedSpeechRecognition speechRecognition;
  std::shared_ptr<KeyMonitor> keyMonitor;
  std::shared_ptr<AppDelegate> delegate;

 private:
  AppDelegate::Services services(DesktopPlatform& platform);
  AppDelegate::Components components(DesktopPlatform& platform);
};

}  // namespace vellotype
