#include "platform/recognition/service/ServiceSpeechRecognizer.h"

#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/service/ServiceRecognitionTask.h"

namespace vellotype {
namespace {

// What a task for a request this recogniser cannot read gives: one error, on the main queue.
class RefusedTask : public RecognitionTask {
 public:
  void cancel() override { *cancelled_ = true; }
  std::shared_ptr<bool> cancelled_ = std::make_shared<bool>(false);
};

}  // namespace

ServiceSpeechRecognizer::ServiceSpeechRecognizer(TranscriptionClient& client,
                                                 KeptRecordings& recordings, MainQueue& queue,
                                                 std::string localeIdentifier, bool liveWords)
    : client_(client),
      recordings_(recordings),
      queue_(queue),
      localeIdentifier_(std::move(localeIdentifier)),
      liveWords_(liveWords) {}

std::shared_ptr<RecognitionTask> ServiceSpeechRecognizer::recognitionTask(
    std::shared_ptr<RecognitionRequest> request, ResultHandler handler) {
  auto buffered = std::dynamic_pointer_cast<BufferedRecognitionRequest>(std::move(request));
  if (!buffered) {
    auto refused = std::make_shared<RefusedTask>();
    queue_.post([cancelled = refused->cancelled_, handler = std::move(handler)] {
      if (*cancelled) return;
      handler(std::nullopt,
              RecognitionError{ServiceRecognitionTask::kUnsupportedRequestError,
                               "The request was not made for the transcription service."});
    });
    return refused;
  }
  return ServiceRecognitionTask::start(client_, recordings_, queue_, std::move(buffered),
                                       std::move(handler), {localeIdentifier_, liveWords_});
}

}  // namespace vellotype
