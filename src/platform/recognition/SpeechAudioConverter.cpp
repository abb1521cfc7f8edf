#include "platform/recognition/SpeechAudioConverter.h"

#include <speex/speex_resampler.h>

#include <algorithm>
#include <cmath>

namespace vellotype {

namespace {

constexpr float kFullScale = 32768.0f;

std::uint32_t usableRate(double rate) {
  if (!(rate >= SpeechAudioConverter::kMinInputRate && rate <= SpeechAudioConverter::kMaxInputRate))
    return 0;
  return static_cast<std::uint32_t>(std::lround(rate));
}

// Channels may be shorter than frameLength claims; only the frames all of them have are used.
std::size_t usableFrames(const AudioBuffer& buffer) {
  if (buffer.floatChannelData.empty()) return 0;
  std::size_t frames = buffer.frameLength;
  for (const auto& channel : buffer.floatChannelData) frames = std::min(frames, channel.size());
  return frames;
}

// A NaN or infinity would smear over the resampler's whole filter length.
void downmix(const AudioBuffer& buffer, std::size_t frames, std::vector<float>& mono) {
  const auto channels = static_cast<float>(buffer.floatChannelData.size());
  mono.assign(frames, 0.0f);
  for (const auto& channel : buffer.floatChannelData) {
    for (std::size_t i = 0; i < frames; ++i) {
      if (std::isfinite(channel[i])) mono[i] += channel[i];
    }
  }
  for (auto& sample : mono) sample = sample / channels * kFullScale;
}

void appendClamped(const float* samples, std::size_t count, std::vector<std::int16_t>& out) {
  for (std::size_t i = 0; i < count; ++i) {
    const float clamped = std::clamp(samples[i], -kFullScale, kFullScale - 1);
    out.push_back(static_cast<std::int16_t>(std::lround(clamped)));
  }
}

}  // namespace

void SpeechAudioConverter::ResamplerDeleter::operator()(SpeexResamplerState_* resampler) const {
  speex_resampler_destroy(resampler);
}

SpeechAudioConverter::SpeechAudioConverter() = default;
SpeechAudioConverter::~SpeechAudioConverter() = default;

void SpeechAudioConverter::convert(const AudioBuffer& buffer, std::vector<std::int16_t>& out) {
  const auto rate = usableRate(buffer.format.sampleRate);
  const auto frames = usableFrames(buffer);
  if (rate == 0 || frames == 0) return;
  if (rate != inputRate_) {
    finish(out);
    inputRate_ = rate;
    if (rate != kOutputRate) {
      int error = 0;
      resampler_.reset(
          speex_resampler_init(1, rate, kOutputRate, SPEEX_RESAMPLER_QUALITY_DEFAULT, &error));
      // Without this the output would start with the filter's delay as silence.
      if (resampler_) speex_resampler_skip_zeros(resampler_.get());
    }
  }
  downmix(buffer, frames, mono_);
  if (resampler_) {
    resample(mono_.data(), mono_.size(), out);
  } else if (rate == kOutputRate) {
    appendClamped(mono_.data(), mono_.size(), out);
  }
}

void SpeechAudioConverter::finish(std::vector<std::int16_t>& out) {
  if (resampler_) {
    const std::vector<float> zeros(
        static_cast<std::size_t>(speex_resampler_get_input_latency(resampler_.get())), 0.0f);
    resample(zeros.data(), zeros.size(), out);
  }
  resampler_.reset();
  inputRate_ = 0;
}

void SpeechAudioConverter::resample(const float* in, std::size_t count,
                                    std::vector<std::int16_t>& out) {
  while (count > 0) {
    resampled_.resize(count * kOutputRate / inputRate_ + 16);
    auto inLength = static_cast<spx_uint32_t>(count);
    auto outLength = static_cast<spx_uint32_t>(resampled_.size());
    speex_resampler_process_float(resampler_.get(), 0, in, &inLength, resampled_.data(),
                                  &outLength);
    appendClamped(resampled_.data(), outLength, out);
    if (inLength == 0 && outLength == 0) return;
    in += inLength;
    count -= inLength;
  }
}

}  // namespace vellotype
