#pragma once
// Loads one model and decodes tasks one after another, in order, on a thread of its own. Made by
// SphinxRecognizer and shared with that thread, which keeps it alive, and frees the decoder,
// until it has stopped.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/MainQueue.h"
#include "platform/SpeechRecognizer.h"
#include "platform/recognition/sphinx/SphinxModelFiles.h"
#include "text/TranscriptFormatter.h"

namespace vellotype {

class SphinxDecoder;
class SphinxRecognitionTask;

class SphinxDecodingWorker : public std::enable_shared_from_this<SphinxDecodingWorker> {
 public:
  // Audio goes to the decoder in pieces of this size, so a cancel is noticed within one.
  static constexpr std::size_t kChunkSamples = 1600;  // 0.1 s
  // The least audio between two looks at the partial hypothesis, which costs a backtrace.
  static constexpr std::size_t kPartialIntervalSamples = 1600;

  // Starts the thread, which begins by loading the model.
  static std::shared_ptr<SphinxDecodingWorker> start(MainQueue& queue, std::string localeIdentifier,
                                                     SphinxModelFiles files);

  // Any thread.
  bool loadFailed() const { return loadFailed_; }
  void wake();

  // Main thread.
  void enqueue(std::shared_ptr<SphinxRecognitionTask> task);
  // Nothing is posted once this returns. The thread leaves its utterance, or finishes a load that
  // is under way, and ends on its own.
  void stop();

 private:
  SphinxDecodingWorker(MainQueue& queue, std::string localeIdentifier, SphinxModelFiles files);

  // The worker thread.
  void run();
  std::shared_ptr<SphinxRecognitionTask> nextTask();
  void decode(SphinxDecoder& decoder, const std::shared_ptr<SphinxRecognitionTask>& task);
  bool abandoned(const SphinxRecognitionTask& task) const;
  void waitForChange();
  void post(const std::shared_ptr<SphinxRecognitionTask>& task,
            std::optional<RecognitionResult> result, std::optional<RecognitionError> error);
  RecognitionError loadError(const std::string& why) const;

  MainQueue& queue_;
  const std::string localeIdentifier_;
  const SphinxModelFiles files_;
  const TranscriptFormatter formatter_;
  std::atomic<bool> loadFailed_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<SphinxRecognitionTask>> tasks_;
  bool signalled_ = false;
  std::atomic<bool> stopped_ = false;  // written under mutex_, read without it between chunks
};

}  // namespace vellotype
