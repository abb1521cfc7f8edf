#include "platform/recognition/routing/CombinedSpeechRecognizer.h"

#include <mutex>
#include <utility>

#include "platform/recognition/BufferedRecognitionRequest.h"

namespace vellotype {
namespace {

class CombinedRecognitionTask : public RecognitionTask {
 public:
  explicit CombinedRecognitionTask(SpeechRecognizer::ResultHandler handler)
      : handler_(std::move(handler)) {}

  void start(SpeechRecognizer& local, SpeechRecognizer& service,
             std::shared_ptr<RecognitionRequest> localRequest,
             std::shared_ptr<RecognitionRequest> serviceRequest,
             const std::shared_ptr<CombinedRecognitionTask>& self) {
    const std::weak_ptr weak = self;
    local_ = local.recognitionTask(std::move(localRequest),
                                   [weak](const auto& result, const auto& error) {
                                     if (const auto task = weak.lock())
                                       task->fromLocal(result, error);
                                   });
    service_ = service.recognitionTask(std::move(serviceRequest),
                                       [weak](const auto& result, const auto& error) {
                                         if (const auto task = weak.lock())
                                           task->fromService(result, error);
                                       });
  }

  void cancel() override {
    handler_ = nullptr;
    if (local_) local_->cancel();
    if (service_) service_->cancel();
  }

  std::optional<double> remoteFinalResultWait() const override {
    return handler_ && service_ ? service_->remoteFinalResultWait() : std::nullopt;
  }

 private:
  void fromLocal(const std::optional<RecognitionResult>& result,
                 const std::optional<RecognitionError>& error) {
    if (result && !result->formattedString.empty()) {
      deliver(RecognitionResult{result->formattedString, false}, std::nullopt);
    }
    // The local model's own errors say nothing the user must know while the service works.
    if (error || (result && result->isFinal)) localDone_ = true;
    if (localDone_ && heldError_) deliver(std::nullopt, std::exchange(heldError_, std::nullopt));
  }

  void fromService(const std::optional<RecognitionResult>& result,
                   const std::optional<RecognitionError>& error) {
    if (result) deliver(result, std::nullopt);
    if (result && result->isFinal && local_) local_->cancel();
    if (!error) return;
    if (localDone_) {
      deliver(std::nullopt, error);
    } else {
      heldError_ = error;
    }
  }

  void deliver(const std::optional<RecognitionResult>& result,
               const std::optional<RecognitionError>& error) {
    if (!handler_) return;
    const auto handler = handler_;
    if (error || (result && result->isFinal)) handler_ = nullptr;
    handler(result, error);
  }

  SpeechRecognizer::ResultHandler handler_;
  std::shared_ptr<RecognitionTask> local_;
  std::shared_ptr<RecognitionTask> service_;
  bool localDone_ = false;
  std::optional<RecognitionError> heldError_;
};

std::shared_ptr<BufferedRecognitionRequest> copyOptions(const BufferedRecognitionRequest& from) {
  auto request = std::make_shared<BufferedRecognitionRequest>();
  request->setShouldReportPartialResults(from.shouldReportPartialResults());
  request->setAddsPunctuation(from.addsPunctuation());
  return request;
}

}  // namespace

CombinedSpeechRecognizer::CombinedSpeechRecognizer(std::shared_ptr<SpeechRecognizer> local,
                                                   std::shared_ptr<SpeechRecognizer> service)
    : local_(std::move(local)), service_(std::move(service)) {}

std::shared_ptr<RecognitionTask> CombinedSpeechRecognizer::recognitionTask(
    std::shared_ptr<RecognitionRequest> request, ResultHandler handler) {
  auto task = std::make_shared<CombinedRecognitionTask>(std::move(handler));
  auto buffered = std::dynamic_pointer_cast<BufferedRecognitionRequest>(request);
  if (!buffered) {
    // Each recogniser refuses such a request in its own way; the service's refusal is the one
    // that ends the task.
    task->start(*local_, *service_, request, request, task);
    return task;
  }
  auto forLocal = copyOptions(*buffered), forService = copyOptions(*buffered);
  // Runs on whichever thread changed the request; the lock keeps two threads from handing on
  // the end before the last buffers.
  buffered->setOnChange(
      [from = buffered.get(), forLocal, forService, lock = std::make_shared<std::mutex>()] {
        const std::lock_guard guard(*lock);
        const auto audio = from->take();
        for (const auto& buffer : audio.buffers) {
          forLocal->append(buffer);
          forService->append(buffer);
        }
        if (audio.ended) {
          forLocal->endAudio();
          forService->endAudio();
        }
      });
  task->start(*local_, *service_, forLocal, forService, task);
  return task;
}

}  // namespace vellotype
