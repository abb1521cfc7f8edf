#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "platform/recognition/SpeechAudioConverter.h"

namespace vellotype {
namespace {

using Samples = std::vector<std::int16_t>;

AudioBuffer buffer(double rate, std::vector<std::vector<float>> channels) {
  const auto frames = channels.empty() ? 0u : static_cast<std::uint32_t>(channels[0].size());
  return {{rate, static_cast<std::uint32_t>(channels.size())}, frames, std::move(channels)};
}

std::vector<float> sine(double rate, double frequency, double seconds) {
  std::vector<float> samples(static_cast<std::size_t>(rate * seconds));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * frequency * i / rate));
  }
  return samples;
}

Samples convertInChunks(double rate, const std::vector<float>& mono, std::size_t chunk) {
  SpeechAudioConverter converter;
  Samples out;
  for (std::size_t at = 0; at < mono.size(); at += chunk) {
    const auto from = mono.begin() + std::ptrdiff_t(at);
    converter.convert(
        buffer(rate, {{from, from + std::ptrdiff_t(std::min(chunk, mono.size() - at))}}), out);
  }
  converter.finish(out);
  return out;
}

// The largest difference away from the stream's edges.
double worst(const Samples& out, const Samples& expected) {
  double worst = 0;
  for (auto i = 200u; i + 200 < out.size(); ++i)
    worst = std::max(worst, std::abs(out[i] - expected[i] + 0.0));
  return worst;
}

// Malformed buffers (no channels, fewer samples than frames, impossible rates) must not crash.
TEST(SpeechAudioConverter, SamplesAreScaledClampedAndAveragedAndUnusableBuffersAddNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  SpeechAudioConverter converter;
  Samples out;
  converter.convert(buffer(16000, {{0, 0.5f, -0.5f, 0.25f / 32768, 1, -1, 1.5f, -2, nan,
                                    std::numeric_limits<float>::infinity()}}),
                    out);
  EXPECT_EQ(out, (Samples{0, 16384, -16384, 0, 32767, -32768, 32767, -32768, 0, 0}));
  out.clear();
  converter.convert(buffer(16000, {{0.5f, 0.25f, 1, 0.5f}, {-0.5f, 0.25f, 1}}), out);
  EXPECT_EQ(out, (Samples{0, 8192, 32767})) << "only the frames every channel has";
  out.clear();
  for (double rate : {0.0, 500.0, 1e6, double(nan)}) converter.convert(buffer(rate, {{0.5f}}), out);
  converter.convert(buffer(48000, {}), out);
  converter.convert({{48000, 1}, 0, {{0.5f}}}, out);
  converter.finish(out);
  EXPECT_TRUE(out.empty());
}

// A tone keeps its frequency, amplitude and timing whatever the buffer sizes; the filter's delay
// is not left in, and what the old rate cannot carry is filtered out rather than aliased.
TEST(SpeechAudioConverter, ResamplesCommonRatesWithoutDelayOrLoss) {
  const auto expected = convertInChunks(16000, sine(16000, 440, 1.0), 16000);
  for (double rate : {48000.0, 44100.0, 8000.0}) {
    const auto out = convertInChunks(rate, sine(rate, 440, 1.0), 1024);
    ASSERT_NEAR(double(out.size()), 16000.0, 2.0) << rate;
    EXPECT_LT(worst(out, expected), 0.02 * 16384) << rate;
  }
  EXPECT_EQ(convertInChunks(44100, sine(44100, 523, 0.5), 1),
            convertInChunks(44100, sine(44100, 523, 0.5), 4097));
  EXPECT_LT(worst(convertInChunks(48000, sine(48000, 12000, 1.0), 1024), Samples(16000)),
            0.02 * 16384);
}

TEST(SpeechAudioConverter, ARateChangeFlushesTheOldStreamFirst) {
  SpeechAudioConverter converter;
  Samples out;
  converter.convert(buffer(48000, {sine(48000, 440, 0.5)}), out);
  converter.convert(buffer(16000, {{0.25f, -0.25f, 0.125f}}), out);
  ASSERT_NEAR(double(out.size()), 8003.0, 2.0);
  EXPECT_EQ(Samples(out.end() - 3, out.end()), (Samples{8192, -8192, 4096}));
}

}  // namespace
}  // namespace vellotype
