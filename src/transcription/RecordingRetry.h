#pragma once
// Transcribes the newest kept recording again, in the language it was spoken in, and lets it go
// once its words have come back. Main thread only; made by the composition root and kept.

#include "transcription/KeptRecordings.h"
#include "transcription/RecordingRetryInterface.h"
#include "transcription/TranscriptionClient.h"

namespace vellotype {

class RecordingRetry : public RecordingRetryInterface {
 public:
  RecordingRetry(KeptRecordings& recordings, TranscriptionClient& client, MainQueue& mainQueue);

  bool retryLastRecording(Completion completion) override;

 private:
  KeptRecordings& recordings_;
  TranscriptionClient& client_;
  MainQueue& mainQueue_;
};

}  // namespace vellotype
