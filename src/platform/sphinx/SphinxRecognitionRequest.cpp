#include "platform/sphinx/SphinxRecognitionRequest.h"

namespace vellotype {

void SphinxRecognitionRequest::append(std::shared_ptr<const AudioBuffer> buffer) {
  std::unique_lock lock(mutex_);
  if (!buffer || ended_ || discarded_) return;
  waiting_.push_back(std::move(buffer));
  changed(lock);
}

void SphinxRecognitionRequest::endAudio() {
  std::unique_lock lock(mutex_);
  if (ended_ || discarded_) return;
  ended_ = true;
  changed(lock);
}

void SphinxRecognitionRequest::setOnChange(std::function<void()> onChange) {
  std::lock_guard lock(mutex_);
  onChange_ = std::move(onChange);
}

SphinxRecognitionRequest::Audio SphinxRecognitionRequest::take() {
  std::lock_guard lock(mutex_);
  Audio audio{std::move(waiting_), ended_};
  waiting_.clear();
  return audio;
}

void SphinxRecognitionRequest::discard() {
  std::unique_lock lock(mutex_);
  discarded_ = true;
  waiting_.clear();
  changed(lock);
}

// The listener takes locks of its own, so it is called with this one released.
void SphinxRecognitionRequest::changed(std::unique_lock<std::mutex>& lock) {
  auto onChange = onChange_;
  lock.unlock();
  if (onChange) onChange();
}

}  // namespace vellotype
