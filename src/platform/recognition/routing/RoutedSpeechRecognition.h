#pragma once
// Speech recognition for every language the user can have: the local model where one is
// installed, the transcription service where it is set up to serve the language, or both
// together (local live words, the service's final text). Main thread only; owned by the
// composition root.

#include <map>
#include <memory>
#include <string>

#include "platform/MainQueue.h"
#include "platform/Preferences.h"
#include "platform/SpeechRecognition.h"
#include "transcription/KeptRecordings.h"
#include "transcription/TranscriptionClient.h"

namespace vellotype {

class RoutedSpeechRecognition : public SpeechRecognition {
 public:
  RoutedSpeechRecognition(SpeechRecognition& local, Preferences& preferences,
                          TranscriptionClient& client, KeptRecordings& recordings,
                          MainQueue& queue);

  // Decided by the settings stored now; nothing when neither way serves the language.
  std::shared_ptr<SpeechRecognizer> recognizer(const std::string& localeIdentifier) override;
  std::shared_ptr<RecognitionRequest> makeRequest() override;
  void requestAuthorization(std::function<void(int status)> handler) override;

 private:
  // A local recogniser still in use is handed out again rather than loading its model twice.
  std::shared_ptr<SpeechRecognizer> localRecognizer(const std::string& localeIdentifier);

  SpeechRecognition& local_;
  Preferences& preferences_;
  TranscriptionClient& client_;
  KeptRecordings& recordings_;
  MainQueue& queue_;
  std::map<std::string, std::weak_ptr<SpeechRecognizer>> inUse_;
};

}  // namespace vellotype
