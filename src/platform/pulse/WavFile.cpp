#include "platform/pulse/WavFile.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

namespace vellotype {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kChunkHeaderBytes = 8;
constexpr std::size_t kFormatBytes = 16;
constexpr std::size_t kExtensibleFormatBytes = 40;
constexpr std::uint16_t kExtensionBytes = 22;
// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes, which repeat the plain format tag.
constexpr std::array<std::uint8_t, 14> kPcmSubformatTail = {
    0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

using Bytes = std::span<const std::uint8_t>;

std::uint16_t le16(Bytes b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t le32(Bytes b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

bool hasTag(Bytes b, std::size_t at, const char (&tag)[5]) {
  return std::equal(tag, tag + 4, b.begin() + static_cast<std::ptrdiff_t>(at));
}

struct Format {
  std::uint16_t tag;
  std::uint16_t channels;
  std::uint32_t sampleRate;
  std::uint32_t byteRate;
  std::uint16_t blockAlign;
  std::uint16_t bitsPerSample;
};

std::optional<Format> readFormat(Bytes chunk) {
  if (chunk.size() < kFormatBytes) return std::nullopt;
  Format f{le16(chunk, 0), le16(chunk, 2),  le32(chunk, 4),
           le32(chunk, 8), le16(chunk, 12), le16(chunk, 14)};
  if (f.tag == kFormatExtensible) {
    if (chunk.size() < kExtensibleFormatBytes || le16(chunk, 16) < kExtensionBytes) {
      return std::nullopt;
    }
    const bool allBitsValid = le16(chunk, 18) == f.bitsPerSample;
    const bool pcm =
        le16(chunk, 24) == kFormatPcm &&
        std::equal(kPcmSubformatTail.begin(), kPcmSubformatTail.end(), chunk.begin() + 26);
    if (!allBitsValid || !pcm) return std::nullopt;
    f.tag = kFormatPcm;
  }
  return f;
}

bool isPlayable16BitPcm(const Format& f) {
  return f.tag == kFormatPcm && (f.channels == 1 || f.channels == 2) && f.bitsPerSample == 16 &&
         f.sampleRate > 0 && f.sampleRate <= WavFile::kMaxSampleRate &&
         f.blockAlign == f.channels * 2u &&
         static_cast<std::uint64_t>(f.byteRate) ==
             static_cast<std::uint64_t>(f.sampleRate) * f.blockAlign;
}

}  // namespace

std::optional<WavFile> WavFile::parse(Bytes bytes) {
  if (bytes.size() < 12 || !hasTag(bytes, 0, "RIFF") || !hasTag(bytes, 8, "WAVE")) {
    return std::nullopt;
  }
  // A RIFF size beyond the bytes at hand means the file was cut short.
  const std::uint64_t riffEnd = std::uint64_t{8} + le32(bytes, 4);
  if (riffEnd < 12 || riffEnd > bytes.size()) return std::nullopt;
  const Bytes body = bytes.subspan(12, static_cast<std::size_t>(riffEnd) - 12);

  std::optional<Format> format;
  std::optional<Bytes> data;
  std::size_t pos = 0;
  while (body.size() - pos >= kChunkHeaderBytes && !(format && data)) {
    const std::size_t start = pos + kChunkHeaderBytes;
    const std::uint32_t size = le32(body, pos + 4);
    if (size > body.size() - start) return std::nullopt;
    const Bytes chunk = body.subspan(start, size);
    if (hasTag(body, pos, "fmt ") && !format) {
      format = readFormat(chunk);
      if (!format) return std::nullopt;
    } else if (hasTag(body, pos, "data") && !data) {
      data = chunk;
    }
    // Chunks start on even offsets; the last one's pad byte is often left out.
    pos = std::min(body.size(), start + size + (size & 1u));
  }

  if (!format || !data || !isPlayable16BitPcm(*format)) return std::nullopt;
  if (data->empty() || data->size() % format->blockAlign != 0 || data->size() > kMaxFileBytes) {
    return std::nullopt;
  }
  return WavFile(format->sampleRate, static_cast<std::uint8_t>(format->channels),
                 std::vector<std::uint8_t>(data->begin(), data->end()));
}

std::optional<WavFile> WavFile::load(const std::filesystem::path& path) {
  // Only a regular file: reading a FIFO or a device could block or never end.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size > kMaxFileBytes) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    return std::nullopt;
  }
  return parse(bytes);
}

}  // namespace vellotype
