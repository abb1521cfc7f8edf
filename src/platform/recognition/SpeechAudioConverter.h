#pragma once
// Turns microphone buffers of any rate and channel count into the 16 kHz mono 16-bit stream
// PocketSphinx's models and transcription services expect, one utterance at a time. Used on the
// recogniser's thread; one per utterance, owned by whoever decodes it.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/AudioBuffer.h"

struct SpeexResamplerState_;

namespace vellotype {

class SpeechAudioConverter {
 public:
  static constexpr std::uint32_t kOutputRate = 16000;
  static constexpr double kMinInputRate = 1000;
  static constexpr double kMaxInputRate = 384000;

  SpeechAudioConverter();
  ~SpeechAudioConverter();
  SpeechAudioConverter(const SpeechAudioConverter&) = delete;
  SpeechAudioConverter& operator=(const SpeechAudioConverter&) = delete;

  // Appends the buffer's audio to `out`: channels averaged, resampled, scaled and clamped to
  // 16 bits. A buffer without float samples or with a rate outside the limits adds nothing; one
  // at another rate than the last starts a new stream after flushing the old one.
  void convert(const AudioBuffer& buffer, std::vector<std::int16_t>& out);
  // Appends what the resampler still holds back, so the stream's last samples are not lost.
  void finish(std::vector<std::int16_t>& out);

 private:
  struct ResamplerDeleter {
    void operator()(SpeexResamplerState_* resampler) const;
  };

  void resample(const float* in, std::size_t count, std::vector<std::int16_t>& out);

  std::uint32_t inputRate_ = 0;
  std::unique_ptr<SpeexResamplerState_, ResamplerDeleter> resampler_;  // null at 16 kHz
  std::vector<float> mono_;
  std::vector<float> resampled_;
};

}  // namespace vellotype
