#pragma once
// One utterance's recognition: the cancel flag the worker watches and the handler the deliveries
// call on the main thread. Made by SphinxRecognizer; shared by the speech engine, the worker and
// the deliveries waiting on the main queue.

#include <atomic>
#include <memory>
#include <optional>

#include "platform/SpeechRecognizer.h"
#include "platform/recognition/BufferedRecognitionRequest.h"

namespace vellotype {

class SphinxRecognitionTask : public RecognitionTask {
 public:
  // The request's options are read now, on the main thread, so the worker never reads them.
  SphinxRecognitionTask(std::shared_ptr<BufferedRecognitionRequest> request,
                        SpeechRecognizer::ResultHandler handler);

  // Main thread. Also drops the request's audio and wakes the worker so it leaves the utterance.
  void cancel() override;
  bool isCancelled() const { return cancelled_; }

  // For the worker; null when the request did not come from SphinxSpeechRecognition.
  BufferedRecognitionRequest* request() const { return request_.get(); }
  bool reportsPartialResults() const { return reportsPartialResults_; }
  bool addsPunctuation() const { return addsPunctuation_; }

  // Main thread: the handler runs unless the task was cancelled, and never after a final result
  // or an error. Checked here rather than on the worker, so cancel() cannot race a delivery.
  void deliver(const std::optional<RecognitionResult>& result,
               const std::optional<RecognitionError>& error);

 private:
  const std::shared_ptr<BufferedRecognitionRequest> request_;
  const bool reportsPartialResults_;
  const bool addsPunctuation_;
  std::atomic<bool> cancelled_ = false;
  SpeechRecognizer::ResultHandler handler_;  // main thread only
};

}  // namespace vellotype
