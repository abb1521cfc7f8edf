#pragma once
// A speech engine the test speaks through by calling its on… callbacks directly. Records
// "speech: <operation>". With `remoteWait` set, a transcription service makes the final text.

#include <set>

#include "fakes/CallLog.h"
#include "speech/SpeechEngineInterface.h"

namespace vellotype {

class FakeSpeechEngine : public SpeechEngineInterface, Recorder {
 public:
  using Recorder::Recorder;

  void setLocale(const std::string& identifier) override {
    log_.record("speech: locale " + identifier);
    locale = identifier;
  }
  bool hasRecognizer() const override { return !unavailable.contains(locale); }
  void refreshRecognizer() override { log_.record("speech: refresh"); }
  void requestPermissions(PermissionCompletion completion) override {
    permissionCompletion = std::move(completion);
    log_.record("speech: requestPermissions");
  }
  void startRecording() override {
    log_.record("speech: start");
    ++recording;
    if (startError) onError(*startError);
  }
  void stopRecording() override { log_.record("speech: stop"); }
  std::uint64_t currentRecording() const override { return recording; }
  std::optional<double> remoteFinalResultWait() const override { return remoteWait; }
  void cancelRecording() override { log_.record("speech: cancel"); }

  std::optional<std::string> startError;  // reported from inside startRecording()
  PermissionCompletion permissionCompletion;
  std::string locale;
  std::set<std::string> unavailable;  // locales without a recogniser
  std::uint64_t recording = 0;
  std::optional<double> remoteWait;
};

}  // namespace vellotype
