#pragma once
// A request whose audio waits here until the recogniser takes it, so nothing is lost while a
// model still loads or a service request is being prepared. Options: main thread; append(): any
// thread (the capture thread); take(): the recogniser's thread. Shared by the speech engine, the
// audio tap and the recognition task.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/RecognitionRequest.h"

namespace vellotype {

class BufferedRecognitionRequest : public RecognitionRequest {
 public:
  struct Audio {
    std::vector<std::shared_ptr<const AudioBuffer>> buffers;
    bool ended = false;  // endAudio() came and every buffer before it is in `buffers`
  };

  void setShouldReportPartialResults(bool report) override { reportsPartialResults_ = report; }
  void setAddsPunctuation(bool adds) override { addsPunctuation_ = adds; }
  bool shouldReportPartialResults() const { return reportsPartialResults_; }
  bool addsPunctuation() const { return addsPunctuation_; }

  void append(std::shared_ptr<const AudioBuffer> buffer) override;
  void endAudio() override;

  // Called, on the thread that changed the request, after new audio, its end, or discard().
  // Set on the main thread when a task takes the request.
  void setOnChange(std::function<void()> onChange);
  // Everything appended since the last take.
  Audio take();
  // Drops the waiting audio and any that comes later: the task was cancelled.
  void discard();

  // Any thread: whether endAudio() has come, and the length of all audio appended so far.
  bool hasEnded() const;
  double secondsAppended() const;

 private:
  void changed(std::unique_lock<std::mutex>& lock);

  // Main thread only.
  bool reportsPartialResults_ = true;
  bool addsPunctuation_ = false;

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<const AudioBuffer>> waiting_;
  bool ended_ = false;
  bool discarded_ = false;
  double secondsAppended_ = 0;
  std::function<void()> onChange_;
};

}  // namespace vellotype
