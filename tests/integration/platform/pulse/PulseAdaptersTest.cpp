// The microphone and the sounds against a private PulseAudio daemon. The microphone adapter also
// serves as the meter for the sounds, which play into the microphone's sink.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "PulseServer.h"
#include "SinkPlayer.h"
#include "platform/pulse/PulseAudioEngine.h"
#include "platform/pulse/PulseSounds.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using testing::PulseServer;
using testing::SinkPlayer;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kBufferSize = 1024;
constexpr float kToneLevel = 0.25f;
// A step well above the tone, so its samples can be counted after the server has resampled it
// twice (to the sink's 44.1 kHz and back).
constexpr float kMarkerLevel = 0.8f;
constexpr std::size_t kMarkerFrames = SinkPlayer::kRate / 100;  // 10 ms
constexpr auto kArrival = 2000ms;
constexpr auto kAtOnce = 50ms;      // far below libpulse's own timeouts of several seconds
constexpr float kSilent = 0.0005f;  // the null sink's silence is exact zeros
constexpr float kAudible = 0.03f;   // -30 dBFS; the sounds peak near -12 dBFS

// A 1 kHz tone, and the marker after it.
std::vector<float> tone(std::chrono::milliseconds length, bool withMarker = false) {
  std::vector<float> samples(SinkPlayer::kRate * length.count() / 1000);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = kToneLevel * static_cast<float>(std::sin(2 * M_PI * 1000.0 * double(i) / 48000));
  }
  if (withMarker) samples.insert(samples.end(), kMarkerFrames, kMarkerLevel);
  return samples;
}

// What a tap receives on libpulse's thread, for the test's thread to wait on and read.
class TapRecorder {
 public:
  AudioEngine::TapBlock block() {
    return [this](const std::shared_ptr<const AudioBuffer>& buffer) {
      std::lock_guard lock(mutex_);
      buffers_.push_back(buffer);
      changed_.notify_all();
    };
  }
  std::vector<std::shared_ptr<const AudioBuffer>> buffers() {
    std::lock_guard lock(mutex_);
    return buffers_;
  }
  // Waits until `count` buffers have come with a sample at least `level` loud.
  bool waitFor(std::size_t count, float level = 0, std::chrono::milliseconds within = kArrival) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, within, [&] {
      return std::count_if(buffers_.begin(), buffers_.end(), [&](const auto& buffer) {
               return peak(*buffer) >= level;
             }) >= static_cast<std::ptrdiff_t>(count);
    });
  }
  static float peak(const AudioBuffer& buffer) {
    float loudest = 0;
    for (float sample : buffer.floatChannelData[0]) loudest = std::max(loudest, std::abs(sample));
    return loudest;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<const AudioBuffer>> buffers_;
};

class PulseAudioEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_.error().empty()) GTEST_SKIP() << "no PulseAudio daemon: " << server_.error();
    // Overrides any desktop server the environment or X11 properties point libpulse at.
    setenv("PULSE_SERVER", server_.address().c_str(), 1);
    connectPlayer();
  }
  void connectPlayer() {
    player_.emplace(server_.address(), PulseServer::kMicFeed);
    ASSERT_EQ(player_->error(), "");
  }
  // Says the samples into the microphone; returns once they have been played.
  void say(const std::vector<float>& samples) {
    ASSERT_TRUE(player_->write(samples) && player_->drain()) << player_->error();
  }
  static void listen(PulseAudioEngine& engine, TapRecorder& recorder) {
    engine.installTap(kBufferSize, engine.inputFormat(), recorder.block());
    ASSERT_EQ(engine.start(), std::nullopt);
  }

  PulseServer server_;
  std::optional<SinkPlayer> player_;
};

TEST_F(PulseAudioEngineTest, EachRecordingHasExactBuffersAndEverythingSaidBeforeStop) {
  PulseAudioEngine engine;
  for (int recording = 0; recording < 2; ++recording) {
    SCOPED_TRACE(recording);
    TapRecorder recorder;
    listen(engine, recorder);
    EXPECT_TRUE(engine.isRunning());
    say(tone(300ms, true));
    engine.stop();
    engine.removeTap();
    EXPECT_FALSE(engine.isRunning());

    // All of the audio's energy, and all of the marker at its end: garbled, dropped or repeated
    // audio would miss the first, a lost last fragment the second. Resampling rounds off the
    // marker's edges by a few samples each; a lost fragment takes hundreds.
    double energy = 0;
    std::size_t marker = 0;
    const auto buffers = recorder.buffers();
    ASSERT_GT(buffers.size(), 10u);
    for (const auto& buffer : buffers) {
      EXPECT_EQ(buffer->format, (AudioFormat{48000, 1}));
      ASSERT_EQ(buffer->floatChannelData.size(), 1u);
      EXPECT_EQ(buffer->floatChannelData[0].size(), buffer->frameLength);
      EXPECT_TRUE(buffer == buffers.back() || buffer->frameLength == kBufferSize);
      for (float sample : buffer->floatChannelData[0]) {
        energy += sample * sample;
        marker += sample > 0.6f;
      }
    }
    EXPECT_GT(buffers.back()->frameLength, 0u);
    EXPECT_LE(buffers.back()->frameLength, kBufferSize);
    const double expected =
        kToneLevel * kToneLevel / 2 * 48000 * 0.3 + kMarkerLevel * kMarkerLevel * kMarkerFrames;
    EXPECT_NEAR(energy, expected, expected * 0.1);
    EXPECT_GE(marker, kMarkerFrames * 90 / 100);
    EXPECT_LE(marker, kMarkerFrames * 105 / 100);
  }
}

TEST_F(PulseAudioEngineTest, NoBlockIsCalledAfterRemoveTapOrStopReturns) {
  PulseAudioEngine engine;
  TapRecorder first, second;
  listen(engine, first);
  ASSERT_TRUE(first.waitFor(1));
  engine.removeTap();
  const auto firstHeard = first.buffers().size();
  say(tone(100ms));
  // The sound said without a tap has passed through the engine once a later one reaches the next.
  engine.installTap(kBufferSize, engine.inputFormat(), second.block());
  say(tone(100ms));
  ASSERT_TRUE(second.waitFor(1, kToneLevel / 2));
  engine.stop();
  const auto secondHeard = second.buffers().size();
  // Another client hearing a later sound shows the microphone still delivered after stop().
  PulseAudioEngine witness;
  TapRecorder heard;
  listen(witness, heard);
  say(tone(100ms));
  ASSERT_TRUE(heard.waitFor(1, kToneLevel / 2));
  EXPECT_EQ(first.buffers().size(), firstHeard);
  EXPECT_EQ(second.buffers().size(), secondHeard);
}

TEST_F(PulseAudioEngineTest, AServerThatGoesAwayEndsCaptureFailsStartAtOnceAndReturns) {
  PulseAudioEngine engine;
  TapRecorder recorder;
  listen(engine, recorder);
  ASSERT_TRUE(recorder.waitFor(1));
  server_.stop();
  const auto deadline = Clock::now() + kArrival;
  while (engine.isRunning() && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_FALSE(engine.isRunning());
  const auto heard = recorder.buffers().size();
  engine.prepare();
  const auto before = Clock::now();
  EXPECT_EQ(engine.start(), "Connection refused");
  EXPECT_LT(Clock::now() - before, 200ms);
  EXPECT_FALSE(engine.isRunning());

  ASSERT_TRUE(server_.start()) << server_.error();
  connectPlayer();
  TapRecorder again;
  listen(engine, again);
  say(tone(100ms));
  EXPECT_TRUE(again.waitFor(1, kToneLevel / 2));
  engine.stop();
  EXPECT_EQ(recorder.buffers().size(), heard);
}

TEST_F(PulseAudioEngineTest, AHungServerCostsStopAndStartNoMoreThanTheirBounds) {
  PulseAudioEngine engine(300ms);
  ASSERT_EQ(engine.start(), std::nullopt);
  server_.freeze();
  auto before = Clock::now();
  engine.stop();
  EXPECT_LT(Clock::now() - before, PulseAudioEngine::kMaxFlushTime + 50ms);
  EXPECT_FALSE(engine.isRunning());
  before = Clock::now();
  EXPECT_EQ(engine.start(), "Timeout");
  EXPECT_LT(Clock::now() - before, 300ms + 200ms);
  server_.thaw();
  EXPECT_EQ(engine.start(), std::nullopt);
}

TEST_F(PulseAudioEngineTest, AccessIsGrantedOnlyWithAServerAndAMicrophone) {
  PulseAudioEngine engine;
  const auto askAccess = [&engine]() -> std::optional<bool> {
    auto answer = std::make_shared<std::promise<bool>>();
    engine.requestAccess([answer](bool granted) { answer->set_value(granted); });
    auto granted = answer->get_future();
    if (granted.wait_for(3s) != std::future_status::ready) return std::nullopt;
    return granted.get();
  };
  EXPECT_EQ(askAccess(), true);
  // Without its microphone the server falls back to a sink's monitor, which is no microphone.
  const std::string unload = "pactl -s " + server_.address() + " unload-module module-remap-source";
  ASSERT_EQ(std::system(unload.c_str()), 0);
  EXPECT_EQ(askAccess(), false);
  server_.stop();
  EXPECT_EQ(askAccess(), false);
}

// The sounds play into the microphone, which hears them.
class PulseSoundsTest : public PulseAudioEngineTest {};

TEST_F(PulseSoundsTest, PlayNoLouderThanTheirFilesAndNeverWaitOnTheServer) {
  setenv("PULSE_SINK", PulseServer::kMicFeed, 1);
  // In a folder named "sounds", "../sounds/Tink" reaches a playable file through a path.
  const auto dir = std::filesystem::temp_directory_path() /
                   ("vellotype-sounds-" + std::to_string(getpid())) / "sounds";
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(std::filesystem::path(VELLOTYPE_SOUNDS_DIR) / "Tink.wav",
                             dir / "Tink.wav");
  // A header that promises chunks the file does not have.
  std::ofstream(dir / "Broken.wav").write("RIFF\x24\0\0\0WAVEfmt ", 16);
  PulseSounds sounds(dir, 0ms);
  const auto playedAtOnce = [&](std::vector<std::string_view> names) {
    for (const auto name : names) {
      const auto start = Clock::now();
      sounds.play(name);
      EXPECT_LT(Clock::now() - start, kAtOnce) << name;
    }
  };
  // The loudest sample heard until 0.3 s after the first sound, or in `within` when none comes.
  const auto hear = [&](std::vector<std::string_view> names, std::chrono::milliseconds within) {
    PulseAudioEngine microphone;
    TapRecorder recorder;
    listen(microphone, recorder);
    playedAtOnce(names);
    if (recorder.waitFor(1, kAudible, within)) recorder.waitFor(recorder.buffers().size() + 15);
    EXPECT_GT(recorder.buffers().size(), 10u) << "the microphone heard nothing at all";
    float loudest = 0;
    for (const auto& buffer : recorder.buffers())
      loudest = std::max(loudest, TapRecorder::peak(*buffer));
    return loudest;
  };

  EXPECT_LE(hear({"Missing", "Broken", "../sounds/Tink", "Tink.wav", ""}, 500ms), kSilent);
  const float peak = hear({"Tink"}, kArrival);
  EXPECT_GT(peak, kAudible);
  // The capture misses a sound's first milliseconds (the sink rewinds to mix it in), so only an
  // upper bound is exact: louder than the file means garbled or amplified samples.
  EXPECT_LT(20 * std::log10(peak), -11.0);

  server_.freeze();
  playedAtOnce({"Tink", "Tink"});
  server_.thaw();
  server_.stop();
  playedAtOnce({"Tink", "Tink"});
  ASSERT_TRUE(server_.start()) << server_.error();
  connectPlayer();
  EXPECT_GT(hear({"Tink"}, kArrival), kAudible) << "again once the server is back";
  std::filesystem::remove_all(dir.parent_path());
}

}  // namespace
}  // namespace vellotype
