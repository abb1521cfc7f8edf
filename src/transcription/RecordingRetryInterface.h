#pragma once
// Sends the newest recording the transcription service failed on once more. Main thread only;
// created by the composition root and kept.

#include <functional>

#include "transcription/TranscriptionResult.h"

namespace vellotype {

class RecordingRetryInterface {
 public:
  using Completion = std::function<void(const TranscriptionResult& result)>;

  virtual ~RecordingRetryInterface() = default;

  // False, and no completion, when no recording is kept. Otherwise the completion runs once on
  // the main queue with the text ready to deliver; the recording is kept until its words are.
  virtual bool retryLastRecording(Completion completion) = 0;
};

}  // namespace vellotype
