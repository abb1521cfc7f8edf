#pragma once
// The audio of one utterance on its way to a recogniser. Options are set on the main thread
// before the request is handed to a recogniser; append() may be called from any thread (the
// capture thread). Shared by the speech engine, the audio tap and the recognition task.

#include <memory>

#include "platform/AudioBuffer.h"

namespace vellotype {

class RecognitionRequest {
 public:
  virtual ~RecognitionRequest() = default;

  virtual void setShouldReportPartialResults(bool report) = 0;
  virtual void setAddsPunctuation(bool adds) = 0;

  virtual void append(std::shared_ptr<const AudioBuffer> buffer) = 0;
  // No more audio will come: the task goes on to its final result.
  virtual void endAudio() = 0;
};

}  // namespace vellotype
