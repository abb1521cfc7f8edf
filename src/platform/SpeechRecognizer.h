#pragma once
// A recogniser for one language. Main thread only; results arrive on the main queue. Made by
// SpeechRecognition and kept by the speech engine until its language changes.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/RecognitionRequest.h"

namespace vellotype {

struct RecognitionResult {
  std::string formattedString;
  bool isFinal = false;
};

struct RecognitionError {
  long code = 0;
  std::string localizedDescription;
};

// One utterance being recognised.
class RecognitionTask {
 public:
  virtual ~RecognitionTask() = default;
  // Nothing more is delivered once this returns.
  virtual void cancel() = 0;
  // Once the audio has ended and while a transcription service works on it: how long its final
  // result may still take. Nothing for a recogniser on this computer, or once it has finished.
  virtual std::optional<double> remoteFinalResultWait() const { return std::nullopt; }
};

class SpeechRecognizer {
 public:
  // One delivery: a result, an error, or both.
  using ResultHandler = std::function<void(const std::optional<RecognitionResult>& result,
                                           const std::optional<RecognitionError>& error)>;

  virtual ~SpeechRecognizer() = default;

  virtual bool isAvailable() const = 0;
  // Recognises the request's audio as it arrives. The handler runs on the main queue, for every
  // partial result (when asked for), then the final one after endAudio().
  virtual std::shared_ptr<RecognitionTask> recognitionTask(
      std::shared_ptr<RecognitionRequest> request, ResultHandler handler) = 0;
};

}  // namespace vellotype
