#include "transcription/PcmWav.h"

namespace vellotype {
namespace {

void put(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xff);
}

std::uint32_t get(std::string_view in, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= std::uint32_t(std::uint8_t(in[at + i])) << (8 * i);
  return value;
}

}  // namespace

std::string PcmWav::encode(std::span<const std::int16_t> samples, std::uint32_t sampleRate) {
  const auto dataBytes = std::uint32_t(samples.size() * 2);
  std::string wav;
  wav.reserve(kHeaderBytes + dataBytes);
  wav += "RIFF";
  put(wav, 36 + dataBytes, 4);
  wav += "WAVEfmt ";
  put(wav, 16, 4);              // the format chunk's size
  put(wav, 1, 2);               // PCM
  put(wav, 1, 2);               // mono
  put(wav, sampleRate, 4);      // frames per second
  put(wav, sampleRate * 2, 4);  // bytes per second
  put(wav, 2, 2);               // bytes per frame
  put(wav, 16, 2);              // bits per sample
  wav += "data";
  put(wav, dataBytes, 4);
  wav.resize(kHeaderBytes + dataBytes);
  char* out = wav.data() + kHeaderBytes;
  for (const auto sample : samples) {
    *out++ = char(std::uint16_t(sample) & 0xff);
    *out++ = char(std::uint16_t(sample) >> 8);
  }
  return wav;
}

double PcmWav::seconds(std::string_view wav) {
  if (wav.size() < kHeaderBytes) return 0;
  const auto bytesPerSecond = get(wav, 28, 4);
  if (bytesPerSecond == 0) return 0;
  return double(wav.size() - kHeaderBytes) / bytesPerSecond;
}

}  // namespace vellotype
