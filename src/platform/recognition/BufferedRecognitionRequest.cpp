#include "platform/recognition/BufferedRecognitionRequest.h"

namespace vellotype {

void BufferedRecognitionRequest::append(std::shared_ptr<const AudioBuffer> buffer) {
  std::unique_lock lock(mutex_);
  if (!buffer || ended_ || discarded_) return;
  if (buffer->format.sampleRate > 0)
    secondsAppended_ += buffer->frameLength / buffer->format.sampleRate;
  waiting_.push_back(std::move(buffer));
  changed(lock);
}

void BufferedRecognitionRequest::endAudio() {
  std::unique_lock lock(mutex_);
  if (ended_ || discarded_) return;
  ended_ = true;
  changed(lock);
}

void BufferedRecognitionRequest::setOnChange(std::function<void()> onChange) {
  std::lock_guard lock(mutex_);
  onChange_ = std::move(onChange);
}

BufferedRecognitionRequest::Audio BufferedRecognitionRequest::take() {
  std::lock_guard lock(mutex_);
  Audio audio{std::move(waiting_), ended_};
  waiting_.clear();
  return audio;
}

void BufferedRecognitionRequest::discard() {
  std::unique_lock lock(mutex_);
  discarded_ = true;
  waiting_.clear();
  changed(lock);
}

bool BufferedRecognitionRequest::hasEnded() const {
  std::lock_guard lock(mutex_);
  return ended_;
}

double BufferedRecognitionRequest::secondsAppended() const {
  std::lock_guard lock(mutex_);
  return secondsAppended_;
}

// The listener takes locks of its own, so it is called with this one released.
void BufferedRecognitionRequest::changed(std::unique_lock<std::mutex>& lock) {
  auto onChange = onChange_;
  lock.unlock();
  if (onChange) onChange();
}

}  // namespace vellotype
