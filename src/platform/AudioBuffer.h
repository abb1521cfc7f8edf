#pragma once
// One tap's worth of microphone audio: single-precision samples, one array per channel.
// Immutable once handed over, so it may be shared between threads.

#include <cstdint>
#include <vector>

namespace vellotype {

struct AudioFormat {
  double sampleRate = 0;
  std::uint32_t channelCount = 0;
  bool operator==(const AudioFormat&) const = default;
};

struct AudioBuffer {
  AudioFormat format;
  std::uint32_t frameLength = 0;
  // frameLength samples for each channel; empty when the buffer carries no float samples.
  std::vector<std::vector<float>> floatChannelData;
};

}  // namespace vellotype
