#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/pulse/WavFile.h"

namespace vellotype {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& out, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes chunk(const std::string& tag, const Bytes& body) {
  Bytes out(tag.begin(), tag.end());
  put(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2) out.push_back(0);
  return out;
}

struct Format {
  std::uint16_t tag = 1;
  std::uint16_t channels = 1;
  std::uint32_t rate = 48000;
  std::uint16_t bits = 16;
  int blockAlignError = 0;
  int byteRateError = 0;
};

Bytes fmt(const Format& f) {
  Bytes body;
  const std::uint32_t blockAlign = f.channels * f.bits / 8 + f.blockAlignError;
  put(body, f.tag, 2);
  put(body, f.channels, 2);
  put(body, f.rate, 4);
  put(body, f.rate * blockAlign + f.byteRateError, 4);
  put(body, blockAlign, 2);
  put(body, f.bits, 2);
  return chunk("fmt ", body);
}

Bytes extensibleFmt(std::uint16_t subformat) {
  Bytes body = fmt({.tag = 0xFFFE});
  body.erase(body.begin(), body.begin() + 8);  // keep the 16-byte core, rebuild the header
  put(body, 22, 2);
  put(body, 16, 2);   // valid bits
  put(body, 0x4, 4);  // front centre
  put(body, subformat, 2);
  for (int b : {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}) body.push_back(b);
  return chunk("fmt ", body);
}

Bytes wave(const std::vector<Bytes>& chunks) {
  Bytes body{'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  return chunk("RIFF", body);
}

const Bytes kFrames = {0x01, 0x02, 0xFF, 0x7F, 0x00, 0x80, 0x10, 0x00};

TEST(WavFileParse, ReadsMonoAndStereo16BitPcm) {
  auto mono = WavFile::parse(wave({fmt({}), chunk("data", kFrames)}));
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->sampleRate(), 48000u);
  EXPECT_EQ(mono->channels(), 1);
  EXPECT_EQ(Bytes(mono->samples().begin(), mono->samples().end()), kFrames);
  EXPECT_EQ(mono->frameCount(), 4u);

  auto stereo = WavFile::parse(wave({fmt({.channels = 2, .rate = 44100}), chunk("data", kFrames)}));
  ASSERT_TRUE(stereo);
  EXPECT_EQ(stereo->sampleRate(), 44100u);
  EXPECT_EQ(stereo->channels(), 2);
  EXPECT_EQ(stereo->frameCount(), 2u);
}

TEST(WavFileParse, SkipsOtherChunksIncludingOddSizedOnes) {
  auto wav = WavFile::parse(wave({chunk("LIST", Bytes(5, 'x')), fmt({}),
                                  chunk("fact", {4, 0, 0, 0}), chunk("data", kFrames)}));
  ASSERT_TRUE(wav);
  EXPECT_EQ(Bytes(wav->samples().begin(), wav->samples().end()), kFrames);
}

TEST(WavFileParse, AcceptsExtensiblePcmButNotExtensibleFloat) {
  EXPECT_TRUE(WavFile::parse(wave({extensibleFmt(1), chunk("data", kFrames)})));
  EXPECT_FALSE(WavFile::parse(wave({extensibleFmt(3), chunk("data", kFrames)})));
}

TEST(WavFileRejects, EncodingsOtherThan16BitMonoOrStereoPcm) {
  for (const Format& f : std::vector<Format>{{.tag = 3},
                                             {.bits = 8},
                                             {.bits = 24},
                                             {.channels = 0},
                                             {.channels = 3},
                                             {.rate = 0},
                                             {.rate = WavFile::kMaxSampleRate + 1},
                                             {.blockAlignError = 2},
                                             {.byteRateError = 1}}) {
    EXPECT_FALSE(WavFile::parse(wave({fmt(f), chunk("data", kFrames)})))
        << "tag " << f.tag << " channels " << f.channels << " rate " << f.rate << " bits "
        << f.bits;
  }
}

TEST(WavFileRejects, FilesMissingAPartOrWithPartialFrames) {
  EXPECT_FALSE(WavFile::parse(Bytes{}));
  EXPECT_FALSE(WavFile::parse(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}));
  EXPECT_FALSE(WavFile::parse(wave({chunk("data", kFrames)})));
  EXPECT_FALSE(WavFile::parse(wave({fmt({})})));
  EXPECT_FALSE(WavFile::parse(wave({fmt({}), chunk("data", {})})));
  EXPECT_FALSE(WavFile::parse(wave({fmt({.channels = 2}), chunk("data", {1, 2, 3, 4, 5, 6})})));
  Bytes shortFmt = fmt({});
  shortFmt.resize(8 + 14);
  shortFmt[4] = 14;
  EXPECT_FALSE(WavFile::parse(wave({shortFmt, chunk("data", kFrames)})));
}

// Run under ASan, these show that no length field makes the reader look past the buffer.
TEST(WavFileRejects, EveryTruncationWhetherOrNotTheRiffSizeAdmitsIt) {
  const Bytes whole = wave({fmt({}), chunk("data", kFrames)});
  for (std::size_t size = 0; size < whole.size(); ++size) {
    Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_FALSE(WavFile::parse(cut)) << size;
    if (size >= 8) {
      cut[4] = static_cast<std::uint8_t>(size - 8);
      EXPECT_FALSE(WavFile::parse(cut)) << size << " with a matching RIFF size";
    }
  }
}

TEST(WavFileRejects, HugeSizesWithoutOverflow) {
  Bytes riff = wave({fmt({}), chunk("data", kFrames)});
  std::fill_n(riff.begin() + 4, 4, 0xFF);
  EXPECT_FALSE(WavFile::parse(riff));

  Bytes data = wave({fmt({}), chunk("data", kFrames)});
  std::fill_n(data.end() - static_cast<std::ptrdiff_t>(kFrames.size()) - 4, 4, 0xFF);
  EXPECT_FALSE(WavFile::parse(data));

  EXPECT_FALSE(WavFile::parse(wave({fmt({}), chunk("data", Bytes(WavFile::kMaxFileBytes + 2))})));
}

class WavFileLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vellotype-wav-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path write(const std::string& name, const Bytes& bytes) {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return dir_ / name;
  }

  std::filesystem::path dir_;
};

TEST_F(WavFileLoad, ReadsARegularFile) {
  auto wav = WavFile::load(write("a.wav", wave({fmt({}), chunk("data", kFrames)})));
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->frameCount(), 4u);
}

TEST_F(WavFileLoad, RefusesMissingOversizedAndSpecialFilesWithoutBlocking) {
  EXPECT_FALSE(WavFile::load(dir_ / "missing.wav"));
  EXPECT_FALSE(WavFile::load(dir_));
  const auto big = write("big.wav", wave({fmt({}), chunk("data", kFrames)}));
  std::filesystem::resize_file(big, WavFile::kMaxFileBytes + 1);
  EXPECT_FALSE(WavFile::load(big));
  ASSERT_EQ(mkfifo((dir_ / "fifo.wav").c_str(), 0600), 0);
  EXPECT_FALSE(WavFile::load(dir_ / "fifo.wav"));
}

}  // namespace
}  // namespace vellotype
