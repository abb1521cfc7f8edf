#include "platform/recognition/service/ServiceRecognitionTask.h"

#include <cmath>

#include "transcription/PcmWav.h"

namespace vellotype {
namespace {

constexpr std::size_t kRate = SpeechAudioConverter::kOutputRate;
constexpr std::size_t kWindow = kRate / 10;

bool hasSound(std::span<const std::int16_t> window) {
  double sum = 0;
  for (const auto sample : window) sum += double(sample) * sample;
  return std::sqrt(sum / double(window.size())) > ServiceRecognitionTask::kSilenceRMS;
}

}  // namespace

std::shared_ptr<ServiceRecognitionTask> ServiceRecognitionTask::start(
    TranscriptionClient& client, KeptRecordings& recordings, MainQueue& queue,
    std::shared_ptr<BufferedRecognitionRequest> request, SpeechRecognizer::ResultHandler handler,
    Options options) {
  std::shared_ptr<ServiceRecognitionTask> task(new ServiceRecognitionTask(
      client, recordings, queue, std::move(request), std::move(handler), std::move(options)));
  // Audio arrives on the capture thread and ends on the main thread; only the end is acted on at
  // once, the rest waits for the next tick.
  task->request_->setOnChange([weak = task->weak_from_this(), &queue] {
    const auto self = weak.lock();
    if (!self || !self->request_->hasEnded() || self->endNoticed_.exchange(true)) return;
    queue.post([weak] {
      if (const auto alive = weak.lock()) alive->audioEnded();
    });
  });
  task->scheduleTick();
  return task;
}

ServiceRecognitionTask::ServiceRecognitionTask(TranscriptionClient& client,
                                               KeptRecordings& recordings, MainQueue& queue,
                                               std::shared_ptr<BufferedRecognitionRequest> request,
                                               SpeechRecognizer::ResultHandler handler,
                                               Options options)
    : client_(client),
      recordings_(recordings),
      queue_(queue),
      request_(std::move(request)),
      handler_(std::move(handler)),
      options_(std::move(options)),
      formatter_(options_.localeIdentifier),
      reportsPartialResults_(request_->shouldReportPartialResults()),
      addsPunctuation_(request_->addsPunctuation()) {}

void ServiceRecognitionTask::cancel() {
  handler_ = nullptr;
  if (liveRequest_) liveRequest_->cancel();
  if (finalRequest_) finalRequest_->cancel();
  request_->discard();
}

std::optional<double> ServiceRecognitionTask::remoteFinalResultWait() const {
  if (!handler_ || !request_->hasEnded()) return std::nullopt;
  return client_.timeoutFor(request_->secondsAppended());
}

void ServiceRecognitionTask::scheduleTick() {
  queue_.postAfter(kTickSeconds, [weak = weak_from_this()] {
    if (const auto self = weak.lock()) self->tick();
  });
}

void ServiceRecognitionTask::tick() {
  if (!handler_ || ended_) return;
  takeAudio();
  scheduleTick();
  const bool grown = samples_.size() >= liveSentSamples_ + kWindow * 5;
  if (!options_.liveWords || !reportsPartialResults_ || liveInFlight_ || !voiced_ || !grown) {
    return;
  }
  liveInFlight_ = true;
  liveSentSamples_ = samples_.size();
  liveRequest_ = client_.transcribe(wav(), options_.localeIdentifier, "live",
                                    [weak = weak_from_this()](const TranscriptionResult& result) {
                                      if (const auto self = weak.lock()) self->liveReplied(result);
                                    });
}

void ServiceRecognitionTask::takeAudio() {
  auto audio = request_->take();
  for (const auto& buffer : audio.buffers) converter_.convert(*buffer, samples_);
  if (audio.ended) converter_.finish(samples_);
  for (; !voiced_ && checkedForSound_ + kWindow <= samples_.size(); checkedForSound_ += kWindow) {
    voiced_ = hasSound(std::span(samples_).subspan(checkedForSound_, kWindow));
  }
}

std::string ServiceRecognitionTask::wav() const { return PcmWav::encode(samples_, kRate); }

void ServiceRecognitionTask::audioEnded() {
  if (!handler_ || ended_) return;
  ended_ = true;
  // The whole recording goes out now; a reply about part of it would only be overwritten.
  if (liveRequest_) liveRequest_->cancel();
  takeAudio();
  if (!voiced_ || samples_.size() < kShortestSeconds * kRate) {
    deliver(RecognitionResult{"", true}, std::nullopt);
    return;
  }
  finalRequest_ = client_.transcribe(wav(), options_.localeIdentifier, "final",
                                     [weak = weak_from_this()](const TranscriptionResult& result) {
                                       if (const auto self = weak.lock())
                                         self->finalReplied(result);
                                     });
}

void ServiceRecognitionTask::liveReplied(const TranscriptionResult& result) {
  liveInFlight_ = false;
  liveRequest_.reset();
  // A failed live request says nothing: the final one, sent at the end, will say it if it
  // fails too.
  const auto* text = std::get_if<std::string>(&result);
  if (ended_ || !text || text->empty()) return;
  deliver(RecognitionResult{formatter_.format(*text, addsPunctuation_, false), false},
          std::nullopt);
}

void ServiceRecognitionTask::finalReplied(const TranscriptionResult& result) {
  finalRequest_.reset();
  if (!handler_) return;
  if (const auto* text = std::get_if<std::string>(&result)) {
    deliver(RecognitionResult{formatter_.format(*text, addsPunctuation_, true), true},
            std::nullopt);
    return;
  }
  recordings_.keep(wav(), options_.localeIdentifier);
  deliver(std::nullopt,
          RecognitionError{kServiceError, std::get<TranscriptionError>(result).description});
}

void ServiceRecognitionTask::deliver(const std::optional<RecognitionResult>& result,
                                     const std::optional<RecognitionError>& error) {
  if (!handler_) return;
  // A copy: the handler may cancel this task and so clear handler_ while it runs.
  const auto handler = handler_;
  if (error || (result && result->isFinal)) handler_ = nullptr;
  handler(result, error);
}

}  // namespace vellotype
