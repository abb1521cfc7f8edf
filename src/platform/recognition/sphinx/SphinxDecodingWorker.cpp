#include "platform/recognition/sphinx/SphinxDecodingWorker.h"

#include <pthread.h>

#include <span>
#include <thread>
#include <vector>

#include "platform/recognition/SpeechAudioConverter.h"
#include "platform/recognition/sphinx/SphinxDecoder.h"
#include "platform/recognition/sphinx/SphinxRecognitionTask.h"
#include "platform/recognition/sphinx/SphinxRecognizer.h"

namespace vellotype {

std::shared_ptr<SphinxDecodingWorker> SphinxDecodingWorker::start(MainQueue& queue,
                                                                  std::string localeIdentifier,
                                                                  SphinxModelFiles files) {
  std::shared_ptr<SphinxDecodingWorker> worker(
      new SphinxDecodingWorker(queue, std::move(localeIdentifier), std::move(files)));
  // Detached: a recogniser dropped while its model loads must not wait for the load.
  std::thread([worker] { worker->run(); }).detach();
  return worker;
}

SphinxDecodingWorker::SphinxDecodingWorker(MainQueue& queue, std::string localeIdentifier,
                                           SphinxModelFiles files)
    : queue_(queue),
      localeIdentifier_(std::move(localeIdentifier)),
      files_(std::move(files)),
      formatter_(localeIdentifier_) {}

void SphinxDecodingWorker::wake() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  changed_.notify_all();
}

void SphinxDecodingWorker::enqueue(std::shared_ptr<SphinxRecognitionTask> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  changed_.notify_all();
}

void SphinxDecodingWorker::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    tasks_.clear();
  }
  changed_.notify_all();
}

void SphinxDecodingWorker::run() {
  pthread_setname_np(pthread_self(), "sphinx-decoder");
  auto loaded = SphinxDecoder::load(files_);
  loadFailed_ = loaded.decoder == nullptr;
  while (auto task = nextTask()) {
    if (task->isCancelled()) continue;
    if (loaded.decoder) {
      decode(*loaded.decoder, task);
    } else {
      post(task, std::nullopt, loadError(loaded.error));
    }
  }
  // loaded.decoder, some 100 MB, is freed here on this thread, whoever else still holds the worker.
}

std::shared_ptr<SphinxRecognitionTask> SphinxDecodingWorker::nextTask() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return stopped_ || !tasks_.empty(); });
  if (stopped_) return nullptr;
  auto task = std::move(tasks_.front());
  tasks_.pop_front();
  return task;
}

void SphinxDecodingWorker::decode(SphinxDecoder& decoder,
                                  const std::shared_ptr<SphinxRecognitionTask>& task) {
  if (!decoder.startUtterance()) {
    post(task, std::nullopt,
         RecognitionError{SphinxRecognizer::kDecoderError,
                          "PocketSphinx could not start an utterance."});
    return;
  }
  SpeechAudioConverter converter;
  std::vector<std::int16_t> samples;
  std::string lastPartial;
  std::size_t sinceHypothesis = 0;
  for (;;) {
    auto audio = task->request()->take();
    samples.clear();
    for (const auto& buffer : audio.buffers) converter.convert(*buffer, samples);
    if (audio.ended) converter.finish(samples);
    const std::span<const std::int16_t> all(samples);
    for (std::size_t at = 0; at < all.size() && !abandoned(*task); at += kChunkSamples) {
      const auto chunk = all.subspan(at, std::min(kChunkSamples, all.size() - at));
      decoder.process(chunk);
      sinceHypothesis += chunk.size();
      // Once the audio has ended only the final result matters.
      if (!task->reportsPartialResults() || audio.ended) continue;
      if (sinceHypothesis < kPartialIntervalSamples) continue;
      sinceHypothesis = 0;
      auto hypothesis = decoder.hypothesis();
      if (hypothesis.empty() || hypothesis == lastPartial) continue;
      lastPartial = hypothesis;
      post(task, RecognitionResult{formatter_.format(hypothesis, task->addsPunctuation(), false)},
           std::nullopt);
    }
    if (abandoned(*task)) {
      decoder.endUtterance();
      return;
    }
    if (audio.ended) {
      decoder.endUtterance();
      const auto text = formatter_.format(decoder.hypothesis(), task->addsPunctuation(), true);
      post(task, RecognitionResult{text, true}, std::nullopt);
      return;
    }
    waitForChange();
  }
}

bool SphinxDecodingWorker::abandoned(const SphinxRecognitionTask& task) const {
  return stopped_ || task.isCancelled();
}

void SphinxDecodingWorker::waitForChange() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return signalled_ || stopped_; });
  signalled_ = false;
}

// Under the lock, so that once stop() has returned no post can be on its way.
void SphinxDecodingWorker::post(const std::shared_ptr<SphinxRecognitionTask>& task,
                                std::optional<RecognitionResult> result,
                                std::optional<RecognitionError> error) {
  std::lock_guard lock(mutex_);
  if (stopped_) return;
  queue_.post([task, result = std::move(result), error = std::move(error)] {
    task->deliver(result, error);
  });
}

RecognitionError SphinxDecodingWorker::loadError(const std::string& why) const {
  return {SphinxRecognizer::kModelNotLoadedError,
          "The speech recognition model for " + localeIdentifier_ + " in " +
              files_.folder.string() + " could not be loaded: " + why + "."};
}

}  // namespace vellotype
