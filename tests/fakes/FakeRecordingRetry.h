#pragma once
// Kept recordings the test lists; reply() completes the retry in flight on the main queue.
// Records "retry: <locale>" for each retry started.

#include <deque>

#include "fakes/CallLog.h"
#include "platform/MainQueue.h"
#include "transcription/RecordingRetryInterface.h"

namespace vellotype {

class FakeRecordingRetry : public RecordingRetryInterface, Recorder {
 public:
  FakeRecordingRetry(CallLog& log, MainQueue& queue) : Recorder(log), queue_(queue) {}

  bool retryLastRecording(Completion completion) override {
    if (kept.empty()) return false;
    log_.record("retry: " + kept.back());
    inFlight_ = std::move(completion);
    return true;
  }
  void reply(TranscriptionResult result) {
    if (std::holds_alternative<std::string>(result)) kept.pop_back();
    queue_.post([completion = std::exchange(inFlight_, nullptr), result] { completion(result); });
  }

  std::deque<std::string> kept;  // the locales of the kept recordings, oldest first

 private:
  MainQueue& queue_;
  Completion inFlight_;
};

}  // namespace vellotype
