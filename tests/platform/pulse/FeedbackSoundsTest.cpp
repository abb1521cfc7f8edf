#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/pulse/WavFile.h"

namespace vellotype {
namespace {

double dbfs(int sample) { return 20 * std::log10(std::abs(sample) / 32768.0); }

// The shipped files are made by scripts/make-sounds; these are the limits a listener cares about.
void expectShortQuietAndClickFree(const std::string& name, double minMs, double maxMs) {
  SCOPED_TRACE(name);
  const auto wav = WavFile::load(std::filesystem::path(VELLOTYPE_SOUNDS_DIR) / (name + ".wav"));
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->channels(), 1);
  EXPECT_TRUE(wav->sampleRate() == 44100 || wav->sampleRate() == 48000) << wav->sampleRate();
  const double ms = 1000.0 * static_cast<double>(wav->frameCount()) / wav->sampleRate();
  EXPECT_GE(ms, minMs);
  EXPECT_LE(ms, maxMs);

  std::vector<int> samples;
  const auto bytes = wav->samples();
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    samples.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  const auto loudest = std::max_element(samples.begin(), samples.end(),
                                        [](int a, int b) { return std::abs(a) < std::abs(b); });
  EXPECT_NEAR(dbfs(*loudest), -12.0, 1.0);
  EXPECT_LT(dbfs(samples.front()), -40.0);
  EXPECT_LT(dbfs(samples.back()), -40.0);
}

TEST(FeedbackSounds, TinkIsABriefGentlePing) { expectShortQuietAndClickFree("Tink", 80, 120); }

TEST(FeedbackSounds, PopIsABriefGentlePop) { expectShortQuietAndClickFree("Pop", 60, 100); }

}  // namespace
}  // namespace vellotype
