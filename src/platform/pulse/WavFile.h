#pragma once
// The samples of a RIFF/WAVE file of 16-bit PCM, mono or stereo: what the sample cache accepts
// as-is. A value type with no thread of its own; whoever loads it owns it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace vellotype {

class WavFile {
 public:
  // Feedback sounds are a fraction of a second; a cap keeps a wrong file from filling memory.
  static constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;
  static constexpr std::uint32_t kMaxSampleRate = 384000;

  // Nothing when the bytes are not a complete, consistent WAVE file of that kind.
  static std::optional<WavFile> parse(std::span<const std::uint8_t> bytes);
  // Nothing when the file is missing, unreadable, larger than kMaxFileBytes or not such a file.
  static std::optional<WavFile> load(const std::filesystem::path& path);

  std::uint32_t sampleRate() const { return sampleRate_; }
  std::uint8_t channels() const { return channels_; }
  // Interleaved signed 16-bit little-endian samples, a whole number of frames, never empty.
  std::span<const std::uint8_t> samples() const { return samples_; }
  std::size_t frameCount() const { return samples_.size() / (2u * channels_); }

 private:
  WavFile(std::uint32_t sampleRate, std::uint8_t channels, std::vector<std::uint8_t> samples)
      : sampleRate_(sampleRate), channels_(channels), samples_(std::move(samples)) {}

  std::uint32_t sampleRate_;
  std::uint8_t channels_;
  std::vector<std::uint8_t> samples_;
};

}  // namespace vellotype
