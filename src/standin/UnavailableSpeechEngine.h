#pragma once
// Stands in for the speech engine until this build has a recogniser: every language is reported
// as unsupported and every recording fails with the engine's own message. Main thread only;
// owned by the composition root.

#include "app/SpeechEngineInterface.h"
#include "platform/MainQueue.h"

namespace vellotype {

class UnavailableSpeechEngine : public SpeechEngineInterface {
 public:
  UnavailableSpeechEngine(MainQueue& mainQueue, std::string localeIdentifier);

  void setLocale(const std::string& localeIdentifier) override;
  void requestPermissions(PermissionCompletion completion) override;
  void startRecording() override;
  void stopRecording() override {}
  void cancelRecording() override {}

 private:
  MainQueue& mainQueue_;
  std::string locale_;
};

}  // namespace vellotype
