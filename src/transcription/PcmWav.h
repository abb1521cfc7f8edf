#pragma once
// RIFF/WAVE files of 16-bit mono PCM, the form transcription services accept everywhere. Pure;
// any thread.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vellotype {

class PcmWav {
 public:
  static constexpr std::size_t kHeaderBytes = 44;

  // The whole file: the 44-byte header, then the samples little-endian.
  static std::string encode(std::span<const std::int16_t> samples, std::uint32_t sampleRate);
  // The length of the audio in a file made by encode(); 0 for anything shorter than a header.
  static double seconds(std::string_view wav);
};

}  // namespace vellotype
