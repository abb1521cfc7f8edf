#pragma once
// A speech engine the test speaks through by calling its on… callbacks directly. Records
// "speech: <operation>".

#include "app/SpeechEngineInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeSpeechEngine : public SpeechEngineInterface, Recorder {
 public:
  using Recorder::Recorder;

  void setLocale(const std::string& identifier) override {
    log_.record("speech: locale " + identifier);
  }
  void requestPermissions(PermissionCompletion completion) override {
    permissionCompletion = std::move(completion);
    log_.record("speech: requestPermissions");
  }
  void startRecording() override {
    log_.record("speech: start");
    if (startError) onError(*startError);
  }
  void stopRecording() override { log_.record("speech: stop"); }
  void cancelRecording() override { log_.record("speech: cancel"); }

  std::optional<std::string> startError;  // reported from inside startRecording()
  PermissionCompletion permissionCompletion;
};

}  // namespace vellotype
