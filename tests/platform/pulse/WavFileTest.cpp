#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/pulse/WavFile.h"

namespace vellotype {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes chunk(const std::string& tag, const Bytes& body) {
  Bytes out(tag.begin(), tag.end());
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(body.size() >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2) out.push_back(0);
  return out;
}

// A format chunk's fields, each given as its little-endian 16-bit halves.
Bytes fmt(std::uint16_t tag = 1, std::uint16_t channels = 1, std::uint16_t bits = 16,
          std::uint32_t rate = 48000) {
  const std::uint32_t blockAlign = channels * bits / 8, byteRate = rate * blockAlign;
  Bytes body;
  for (std::uint32_t half : {std::uint32_t{tag}, std::uint32_t{channels}, rate & 0xFFFF, rate >> 16,
                             byteRate & 0xFFFF, byteRate >> 16, blockAlign, std::uint32_t{bits}}) {
    body.insert(body.end(), {std::uint8_t(half), std::uint8_t(half >> 8)});
  }
  return body;
}

Bytes wave(const Bytes& format, const Bytes& data, Bytes body = {}) {
  body.insert(body.begin(), {'W', 'A', 'V', 'E'});
  for (const Bytes& c : {chunk("fmt ", format), chunk("data", data)}) {
    body.insert(body.end(), c.begin(), c.end());
  }
  return chunk("RIFF", body);
}

const Bytes kFrames = {0x01, 0x02, 0xFF, 0x7F, 0x00, 0x80, 0x10, 0x00};

TEST(WavFile, ReadsMonoAndStereo16BitPcmPastOtherChunksEvenOddSizedOnes) {
  const auto mono = WavFile::parse(wave(fmt(), kFrames, chunk("LIST", Bytes(5, 'x'))));
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->sampleRate(), 48000u);
  EXPECT_EQ(Bytes(mono->samples().begin(), mono->samples().end()), kFrames);
  EXPECT_EQ(WavFile::parse(wave(fmt(1, 2, 16, 44100), kFrames)).value().frameCount(), 2u);
}

TEST(WavFile, RejectsOtherEncodingsMissingPartsAndPartialFrames) {
  // Float, 8 bits, no or three channels, no rate.
  for (const Bytes& format : {fmt(3), fmt(1, 1, 8), fmt(1, 0), fmt(1, 3), fmt(1, 1, 16, 0)}) {
    EXPECT_FALSE(WavFile::parse(wave(format, kFrames)));
  }
  EXPECT_FALSE(WavFile::parse(wave(fmt(), {})));
  EXPECT_FALSE(WavFile::parse(wave(fmt(1, 2), {1, 2, 3, 4, 5, 6})));
}

// Under ASan, these show that no length field makes the reader look past the buffer.
TEST(WavFile, RejectsEveryTruncationAndHugeSizesWithoutOverflow) {
  const Bytes whole = wave(fmt(), kFrames);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(WavFile::parse(cut)) << size;
    if (size >= 8) cut[4] = static_cast<std::uint8_t>(size - 8);
    EXPECT_FALSE(WavFile::parse(cut)) << size << " with a matching RIFF size";
  }
  for (std::size_t at : {std::size_t{4}, whole.size() - kFrames.size() - 4}) {
    Bytes huge = whole;
    std::fill_n(huge.begin() + static_cast<std::ptrdiff_t>(at), 4, 0xFF);
    EXPECT_FALSE(WavFile::parse(huge)) << at;
  }
  EXPECT_FALSE(WavFile::parse(wave(fmt(), Bytes(WavFile::kMaxFileBytes + 2))));
}

TEST(WavFile, RefusesToLoadMissingOversizedFilesAndFifosWithoutBlocking) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("vellotype-wav-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "big.wav").close();
  EXPECT_FALSE(WavFile::load(dir / "missing.wav"));
  EXPECT_FALSE(WavFile::load(dir));
  std::filesystem::resize_file(dir / "big.wav", WavFile::kMaxFileBytes + 1);
  EXPECT_FALSE(WavFile::load(dir / "big.wav"));
  ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0600), 0);
  EXPECT_FALSE(WavFile::load(dir / "fifo.wav"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vellotype
