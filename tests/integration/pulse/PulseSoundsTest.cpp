#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "PulseServer.h"
#include "SinkMonitor.h"
#include "platform/pulse/PulseSounds.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using testing::PulseServer;
using testing::SinkMonitor;

// Generous for a loaded machine, yet far below libpulse's own timeouts of several seconds, so a
// play() that waited on the server could not pass.
constexpr auto kAtOnce = 50ms;
constexpr int kSilent = 16;        // the null sink's silence is exact zeros
constexpr int kAudible = 1000;     // -30 dBFS; the sounds peak near -12 dBFS
constexpr auto kArrival = 2000ms;  // sound must reach the monitor within this much audio

double dbfs(int peak) { return 20 * std::log10(peak / 32768.0); }

class PulseSoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_.error().empty()) GTEST_SKIP() << "no PulseAudio daemon: " << server_.error();
    // Overrides any desktop server the environment or X11 properties point libpulse at.
    setenv("PULSE_SERVER", server_.address().c_str(), 1);
    sounds_ = server_.runtimePath() / "sounds";
    std::filesystem::create_directories(sounds_);
    for (const char* name : {"Tink.wav", "Pop.wav"}) {
      std::filesystem::copy_file(std::filesystem::path(VELLOTYPE_SOUNDS_DIR) / name,
                                 sounds_ / name);
    }
    // A header that promises chunks the file does not have.
    std::ofstream(sounds_ / "Broken.wav").write("RIFF\x24\0\0\0WAVEfmt ", 16);
  }

  // How long play() kept the calling thread.
  static std::chrono::steady_clock::duration timePlay(PulseSounds& sounds, std::string_view name) {
    const auto start = std::chrono::steady_clock::now();
    sounds.play(name);
    return std::chrono::steady_clock::now() - start;
  }

  // Plays `name` with the speakers recorded and returns the loudest sample that reached them.
  int playAndHear(PulseSounds& sounds, std::string_view name) {
    SinkMonitor speakers(server_.address(), PulseServer::kSpeakers);
    EXPECT_EQ(speakers.error(), "");
    sounds.play(name);
    return speakers.peakOfNextSound(kAudible, kArrival);
  }

  PulseServer server_;
  std::filesystem::path sounds_;
};

TEST_F(PulseSoundsTest, PlaysEachSoundOnTheDefaultSinkNoLouderThanTheFile) {
  PulseSounds sounds(sounds_);
  for (const char* name : {"Tink", "Pop", "Tink"}) {
    const int peak = playAndHear(sounds, name);
    EXPECT_GT(peak, kAudible) << name;
    // The monitor misses a sound's first milliseconds (the sink rewinds to mix it in), so only
    // an upper bound is exact: louder than the file means garbled or amplified samples.
    EXPECT_LT(dbfs(peak), -11.0) << name;
  }
}

TEST_F(PulseSoundsTest, NamesWithoutAPlayableFilePlayNothingAndReturnAtOnce) {
  PulseSounds sounds(sounds_);
  SinkMonitor speakers(server_.address(), PulseServer::kSpeakers);
  ASSERT_EQ(speakers.error(), "");
  for (const char* name : {"Missing", "Broken", "../sounds/Tink", "Tink.wav", ""}) {
    EXPECT_LT(timePlay(sounds, name), kAtOnce) << name;
  }
  const int peak = speakers.peakOver(500ms);
  EXPECT_GE(peak, 0) << "recording failed";
  EXPECT_LE(peak, kSilent);
  // The same recording still hears a real sound, so the silence above was not a dead monitor.
  sounds.play("Tink");
  EXPECT_GT(speakers.peakOfNextSound(kAudible, kArrival), kAudible);
}

TEST_F(PulseSoundsTest, PlayReturnsAtOnceWhileTheServerHangs) {
  PulseSounds sounds(sounds_);
  ASSERT_GT(playAndHear(sounds, "Tink"), kAudible);
  server_.freeze();
  for (const char* name : {"Tink", "Pop", "Tink"}) EXPECT_LT(timePlay(sounds, name), kAtOnce);
  server_.thaw();
}

TEST_F(PulseSoundsTest, WithoutAServerPlayReturnsAtOnceAndWorksOnceOneStarts) {
  server_.stop();
  PulseSounds sounds(sounds_, 0ms);
  EXPECT_LT(timePlay(sounds, "Tink"), kAtOnce);
  EXPECT_LT(timePlay(sounds, "Pop"), kAtOnce);
  ASSERT_TRUE(server_.start()) << server_.error();
  EXPECT_GT(playAndHear(sounds, "Tink"), kAudible);
}

TEST_F(PulseSoundsTest, PlaysAgainAfterTheServerGoesAwayAndComesBack) {
  PulseSounds sounds(sounds_, 0ms);
  ASSERT_GT(playAndHear(sounds, "Tink"), kAudible);
  server_.stop();
  EXPECT_LT(timePlay(sounds, "Tink"), kAtOnce);
  ASSERT_TRUE(server_.start()) << server_.error();
  EXPECT_GT(playAndHear(sounds, "Tink"), kAudible);
}

TEST_F(PulseSoundsTest, LooksForALostServerNoSoonerThanTheRetryInterval) {
  server_.stop();
  PulseSounds sounds(sounds_, 1h);
  sounds.play("Tink");
  ASSERT_TRUE(server_.start()) << server_.error();
  SinkMonitor speakers(server_.address(), PulseServer::kSpeakers);
  ASSERT_EQ(speakers.error(), "");
  sounds.play("Tink");
  const int peak = speakers.peakOver(500ms);
  EXPECT_GE(peak, 0) << "recording failed";
  EXPECT_LE(peak, kSilent);
}

}  // namespace
}  // namespace vellotype
