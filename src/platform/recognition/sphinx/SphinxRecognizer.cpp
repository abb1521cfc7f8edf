#include "platform/recognition/sphinx/SphinxRecognizer.h"

#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/sphinx/SphinxDecodingWorker.h"
#include "platform/recognition/sphinx/SphinxRecognitionTask.h"

namespace vellotype {

SphinxRecognizer::SphinxRecognizer(MainQueue& queue, std::string localeIdentifier,
                                   SphinxModelFiles files)
    : queue_(queue),
      worker_(SphinxDecodingWorker::start(queue, std::move(localeIdentifier), std::move(files))) {}

SphinxRecognizer::~SphinxRecognizer() { worker_->stop(); }

bool SphinxRecognizer::isAvailable() const { return !worker_->loadFailed(); }

std::shared_ptr<RecognitionTask> SphinxRecognizer::recognitionTask(
    std::shared_ptr<RecognitionRequest> request, ResultHandler handler) {
  auto sphinxRequest = std::dynamic_pointer_cast<BufferedRecognitionRequest>(std::move(request));
  auto task = std::make_shared<SphinxRecognitionTask>(sphinxRequest, std::move(handler));
  if (!sphinxRequest) {
    queue_.post([task] {
      task->deliver(std::nullopt,
                    RecognitionError{kUnsupportedRequestError,
                                     "The request was not made by the PocketSphinx recogniser."});
    });
    return task;
  }
  sphinxRequest->setOnChange([worker = std::weak_ptr(worker_)] {
    if (auto alive = worker.lock()) alive->wake();
  });
  worker_->enqueue(task);
  return task;
}

}  // namespace vellotype
