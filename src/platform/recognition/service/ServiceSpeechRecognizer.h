#pragma once
// A recogniser for one language on an OpenAI-compatible transcription service. Main thread
// only; results arrive on the main queue. Made by RoutedSpeechRecognition and kept by the speech
// engine (or a combined recogniser) until the language or the settings change.

#include <memory>
#include <string>

#include "platform/MainQueue.h"
#include "platform/SpeechRecognizer.h"
#include "transcription/KeptRecordings.h"
#include "transcription/TranscriptionClient.h"

namespace vellotype {

class ServiceSpeechRecognizer : public SpeechRecognizer {
 public:
  // With `liveWords`, the audio so far is also sent while the key is held, for partial results.
  ServiceSpeechRecognizer(TranscriptionClient& client, KeptRecordings& recordings, MainQueue& queue,
                          std::string localeIdentifier, bool liveWords);

  // The service is reached only when a recording ends: whether it answers shows then.
  bool isAvailable() const override { return true; }
  std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                                   ResultHandler handler) override;

 private:
  TranscriptionClient& client_;
  KeptRecordings& recordings_;
  MainQueue& queue_;
  const std::string localeIdentifier_;
  const bool liveWords_;
};

}  // namespace vellotype
