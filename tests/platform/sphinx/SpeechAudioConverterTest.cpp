#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "platform/sphinx/SpeechAudioConverter.h"

namespace vellotype {
namespace {

using Samples = std::vector<std::int16_t>;

AudioBuffer buffer(double rate, std::vector<std::vector<float>> channels) {
  const auto frames = channels.empty() ? 0u : static_cast<std::uint32_t>(channels[0].size());
  return {{rate, static_cast<std::uint32_t>(channels.size())}, frames, std::move(channels)};
}

std::vector<float> sine(double rate, double frequency, double seconds, double amplitude = 0.5) {
  std::vector<float> samples(static_cast<std::size_t>(rate * seconds));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] =
        static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate));
  }
  return samples;
}

Samples convertInChunks(double rate, const std::vector<float>& mono, std::size_t chunk) {
  SpeechAudioConverter converter;
  Samples out;
  for (std::size_t at = 0; at < mono.size(); at += chunk) {
    const auto end = mono.begin() + static_cast<std::ptrdiff_t>(std::min(at + chunk, mono.size()));
    converter.convert(buffer(rate, {{mono.begin() + static_cast<std::ptrdiff_t>(at), end}}), out);
  }
  converter.finish(out);
  return out;
}

double rms(const Samples& samples, std::size_t from, std::size_t to) {
  double sum = 0;
  for (auto i = from; i < to; ++i) sum += double(samples[i]) * samples[i];
  return std::sqrt(sum / double(to - from));
}

TEST(SpeechAudioConverter, SixteenKilohertzPassesThroughScaledRoundedAndClamped) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  SpeechAudioConverter converter;
  Samples out;
  converter.convert(buffer(16000, {{0, 0.5f, -0.5f, 0.25f / 32768, 1, -1, 1.5f, -2, nan, inf}}),
                    out);
  converter.finish(out);
  EXPECT_EQ(out, (Samples{0, 16384, -16384, 0, 32767, -32768, 32767, -32768, 0, 0}));
}

TEST(SpeechAudioConverter, ChannelsAreAveragedOverTheFramesAllOfThemHave) {
  SpeechAudioConverter converter;
  Samples out;
  converter.convert(buffer(16000, {{0.5f, 0.25f, 1, 0.5f}, {-0.5f, 0.25f, 1}}), out);
  EXPECT_EQ(out, (Samples{0, 8192, 32767}));  // frameLength says 4, the second channel has 3
  out.clear();
  converter.convert(buffer(16000, {{0.75f}, {0.75f}, {-0.75f}}), out);
  EXPECT_EQ(out, (Samples{8192}));
}

TEST(SpeechAudioConverter, BuffersWithoutUsableAudioAddNothing) {
  SpeechAudioConverter converter;
  Samples out;
  const std::vector<float> samples(480, 0.5f);
  for (double rate : {0.0, -48000.0, 500.0, 1e6, std::numeric_limits<double>::quiet_NaN()}) {
    converter.convert(buffer(rate, {samples}), out);
  }
  converter.convert(buffer(48000, {}), out);
  converter.convert({{48000, 1}, 0, {samples}}, out);
  converter.finish(out);
  EXPECT_TRUE(out.empty());
}

// A tone keeps its frequency, amplitude and timing; the filter's delay is not left in.
TEST(SpeechAudioConverter, ResamplesCommonRatesWithoutDelayOrLoss) {
  const auto expected = convertInChunks(16000, sine(16000, 440, 1.0), 16000);
  for (double rate : {48000.0, 44100.0, 22050.0, 8000.0}) {
    const auto out = convertInChunks(rate, sine(rate, 440, 1.0), 1024);
    ASSERT_NEAR(double(out.size()), 16000.0, 2.0) << rate;
    double worst = 0;
    for (std::size_t i = 200; i < 15800; ++i)
      worst = std::max(worst, std::abs(out[i] - expected[i] + 0.0));
    EXPECT_LT(worst, 0.02 * 16384) << rate;
  }
}

TEST(SpeechAudioConverter, TonesAboveTheNewNyquistFrequencyAreFilteredOut) {
  const auto out = convertInChunks(48000, sine(48000, 12000, 1.0), 1024);
  EXPECT_LT(rms(out, 200, out.size() - 200), 0.01 * 16384);
}

TEST(SpeechAudioConverter, ChunkSizesDoNotChangeTheOutput) {
  for (double rate : {48000.0, 44100.0}) {
    const auto input = sine(rate, 523, 0.5);
    const auto whole = convertInChunks(rate, input, input.size());
    for (std::size_t chunk : {1, 7, 333, 1024, 4097}) {
      EXPECT_EQ(convertInChunks(rate, input, chunk), whole) << rate << " Hz in chunks of " << chunk;
    }
  }
}

TEST(SpeechAudioConverter, ARateChangeFlushesTheOldStreamFirst) {
  SpeechAudioConverter converter;
  Samples out;
  converter.convert(buffer(48000, {sine(48000, 440, 0.5)}), out);
  const std::vector<float> marker{0.25f, -0.25f, 0.125f};
  converter.convert(buffer(16000, {marker}), out);
  ASSERT_NEAR(double(out.size()), 8003.0, 2.0);
  EXPECT_EQ(Samples(out.end() - 3, out.end()), (Samples{8192, -8192, 4096}));
}

}  // namespace
}  // namespace vellotype
