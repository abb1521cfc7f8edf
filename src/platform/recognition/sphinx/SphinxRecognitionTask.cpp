#include "platform/recognition/sphinx/SphinxRecognitionTask.h"

namespace vellotype {

SphinxRecognitionTask::SphinxRecognitionTask(std::shared_ptr<BufferedRecognitionRequest> request,
                                             SpeechRecognizer::ResultHandler handler)
    : request_(std::move(request)),
      reportsPartialResults_(request_ && request_->shouldReportPartialResults()),
      addsPunctuation_(request_ && request_->addsPunctuation()),
      handler_(std::move(handler)) {}

void SphinxRecognitionTask::cancel() {
  cancelled_ = true;
  handler_ = nullptr;
  if (request_) request_->discard();
}

void SphinxRecognitionTask::deliver(const std::optional<RecognitionResult>& result,
                                    const std::optional<RecognitionError>& error) {
  if (cancelled_ || !handler_) return;
  // A copy, since the handler may cancel this task and so clear handler_ while it runs.
  const auto handler = handler_;
  if (error || (result && result->isFinal)) handler_ = nullptr;
  handler(result, error);
}

}  // namespace vellotype
