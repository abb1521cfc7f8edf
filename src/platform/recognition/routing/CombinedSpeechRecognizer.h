#pragma once
// A language recognised twice: the local model gives the live words while the key is held and a
// fallback text, the transcription service gives the final text. Main thread only; results
// arrive on the main queue. Made by RoutedSpeechRecognition and kept by the speech engine until
// the language or the settings change.

#include <memory>

#include "platform/SpeechRecognizer.h"

namespace vellotype {

class CombinedSpeechRecognizer : public SpeechRecognizer {
 public:
  CombinedSpeechRecognizer(std::shared_ptr<SpeechRecognizer> local,
                           std::shared_ptr<SpeechRecognizer> service);

  // The service alone can carry an utterance, even when the local model failed to load.
  bool isAvailable() const override { return service_->isAvailable(); }
  // The local model's results come as partial ones, its final text included; the service's final
  // result or error ends the task. A service error waits for the local final text, so that the
  // words it holds are not lost.
  std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                                   ResultHandler handler) override;

 private:
  std::shared_ptr<SpeechRecognizer> local_;
  std::shared_ptr<SpeechRecognizer> service_;
};

}  // namespace vellotype
