#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "PulseServer.h"
#include "SinkPlayer.h"
#include "platform/pulse/PulseAudioEngine.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using testing::PulseServer;
using testing::SinkPlayer;
using Clock = std::chrono::steady_clock;
using BufferList = std::vector<std::shared_ptr<const AudioBuffer>>;

constexpr std::uint32_t kBufferSize = 1024;
constexpr float kToneLevel = 0.25f;
// The end marker is a step well above the tone, so its samples can be counted after the server
// has resampled it twice (to the sink's 44.1 kHz and back).
constexpr float kMarkerLevel = 0.8f;
constexpr float kMarkerThreshold = 0.6f;
constexpr std::size_t kMarkerFrames = SinkPlayer::kRate / 100;  // 10 ms
constexpr auto kArrival = 2000ms;

// A 1 kHz tone, and optionally the end marker after it.
std::vector<float> toneBurst(std::chrono::milliseconds length, bool withMarker) {
  std::vector<float> samples(SinkPlayer::kRate * length.count() / 1000);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = kToneLevel * static_cast<float>(std::sin(
                                  2 * M_PI * 1000.0 * static_cast<double>(i) / SinkPlayer::kRate));
  }
  if (withMarker) samples.insert(samples.end(), kMarkerFrames, kMarkerLevel);
  return samples;
}

// Gathers what a tap receives on libpulse's thread, for the test's thread to wait on and read.
class TapRecorder {
 public:
  AudioEngine::TapBlock block() {
    return [this](const std::shared_ptr<const AudioBuffer>& buffer) {
      std::lock_guard lock(mutex_);
      (closed_ ? lateBuffers_ : buffers_).push_back(buffer);
      changed_.notify_all();
    };
  }

  // Any buffer from now on is one too many.
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }

  // Waits until `count` buffers have come with a sample at least `level` loud.
  bool waitFor(std::size_t count, float level = 0) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kArrival, [&] {
      return std::count_if(buffers_.begin(), buffers_.end(), [&](const auto& buffer) {
               const std::vector<float>& samples = buffer->floatChannelData.at(0);
               return std::any_of(samples.begin(), samples.end(),
                                  [&](float sample) { return std::abs(sample) >= level; });
             }) >= static_cast<std::ptrdiff_t>(count);
    });
  }

  BufferList buffers() {
    std::lock_guard lock(mutex_);
    return buffers_;
  }
  std::size_t lateBuffers() {
    std::lock_guard lock(mutex_);
    return lateBuffers_.size();
  }
  std::vector<float> samples() {
    std::vector<float> all;
    for (const auto& buffer : buffers()) {
      all.insert(all.end(), buffer->floatChannelData.at(0).begin(),
                 buffer->floatChannelData.at(0).end());
    }
    return all;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  BufferList buffers_;
  BufferList lateBuffers_;
  bool closed_ = false;
};

std::size_t markerFrames(const std::vector<float>& samples) {
  return std::count_if(samples.begin(), samples.end(),
                       [](float sample) { return sample > kMarkerThreshold; });
}

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

  // Says the samples into the microphone and returns once the last of them has been captured.
  void say(const std::vector<float>& samples) {
    ASSERT_TRUE(player_->write(samples) && player_->drain()) << player_->error();
  }

  static bool eventually(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + kArrival;
    while (!done() && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
    return done();
  }

  static std::optional<bool> askAccess(PulseAudioEngine& engine) {
    auto answer = std::make_shared<std::promise<bool>>();
    engine.requestAccess([answer](bool granted) { answer->set_value(granted); });
    auto granted = answer->get_future();
    if (granted.wait_for(3s) != std::future_status::ready) return std::nullopt;
    return granted.get();
  }

  PulseServer server_;
  std::optional<SinkPlayer> player_;
};

TEST_F(PulseAudioEngineTest, DeliversWholeBuffersOfTheMicrophoneAndTheShortRestOnStop) {
  PulseAudioEngine engine;
  TapRecorder recorder;
  engine.installTap(kBufferSize, engine.inputFormat(), recorder.block());
  ASSERT_EQ(engine.start(), std::nullopt);
  EXPECT_TRUE(engine.isRunning());
  say(toneBurst(300ms, false));
  engine.stop();
  EXPECT_FALSE(engine.isRunning());

  const BufferList buffers = recorder.buffers();
  ASSERT_GT(buffers.size(), 10u);
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    SCOPED_TRACE(i);
    const AudioBuffer& buffer = *buffers[i];
    EXPECT_EQ(buffer.format, (AudioFormat{48000, 1}));
    ASSERT_EQ(buffer.floatChannelData.size(), 1u);
    EXPECT_EQ(buffer.floatChannelData[0].size(), buffer.frameLength);
    if (i + 1 < buffers.size()) {
      EXPECT_EQ(buffer.frameLength, kBufferSize);
    } else {
      EXPECT_GT(buffer.frameLength, 0u);
      EXPECT_LE(buffer.frameLength, kBufferSize);
    }
  }
  // The tone's energy, all of it: garbled, dropped or repeated audio would miss the mark.
  double energy = 0;
  for (float sample : recorder.samples()) energy += sample * sample;
  const double expected = kToneLevel * kToneLevel / 2 * SinkPlayer::kRate * 0.3;
  EXPECT_NEAR(energy, expected, expected * 0.1);
}

TEST_F(PulseAudioEngineTest, EachRecordingKeepsWhatWasSaidUpToTheMomentOfStop) {
  PulseAudioEngine engine;
  for (int recording = 0; recording < 3; ++recording) {
    SCOPED_TRACE(recording);
    TapRecorder recorder;
    engine.installTap(kBufferSize, engine.inputFormat(), recorder.block());
    ASSERT_EQ(engine.start(), std::nullopt);
    say(toneBurst(60ms, true));
    engine.stop();
    engine.removeTap();
    const std::size_t marker = markerFrames(recorder.samples());
    // Resampling rounds off the marker's edges by a few samples each; a lost fragment takes
    // hundreds.
    EXPECT_GE(marker, kMarkerFrames * 90 / 100);
    EXPECT_LE(marker, kMarkerFrames * 105 / 100);
  }
}

TEST_F(PulseAudioEngineTest, NoBlockIsCalledAfterRemoveTapOrStopReturns) {
  PulseAudioEngine engine;
  TapRecorder first, second;
  engine.installTap(kBufferSize, engine.inputFormat(), first.block());
  ASSERT_EQ(engine.start(), std::nullopt);
  ASSERT_TRUE(first.waitFor(1));
  engine.removeTap();
  first.close();
  say(toneBurst(100ms, false));
  // The sound said without a tap has passed through the engine once a later one reaches the next.
  engine.installTap(kBufferSize, engine.inputFormat(), second.block());
  say(toneBurst(100ms, false));
  ASSERT_TRUE(second.waitFor(3, kToneLevel / 2));

  engine.stop();
  second.close();
  // Another client hearing a later sound shows the microphone still delivered after stop().
  PulseAudioEngine witness;
  TapRecorder heard;
  witness.installTap(kBufferSize, witness.inputFormat(), heard.block());
  ASSERT_EQ(witness.start(), std::nullopt);
  say(toneBurst(100ms, false));
  ASSERT_TRUE(heard.waitFor(3, kToneLevel / 2));
  EXPECT_EQ(first.lateBuffers(), 0u);
  EXPECT_EQ(second.lateBuffers(), 0u);
}

TEST_F(PulseAudioEngineTest, WithoutAServerStartFailsAtOnceWithTheServersReason) {
  server_.stop();
  PulseAudioEngine engine;
  engine.prepare();
  const auto before = Clock::now();
  EXPECT_EQ(engine.start(), "Connection refused");
  EXPECT_LT(Clock::now() - before, 200ms);
  EXPECT_FALSE(engine.isRunning());
  engine.stop();
}

TEST_F(PulseAudioEngineTest, AServerThatDiesEndsCaptureAndAReturningOneIsUsedAgain) {
  PulseAudioEngine engine;
  TapRecorder recorder;
  engine.installTap(kBufferSize, engine.inputFormat(), recorder.block());
  ASSERT_EQ(engine.start(), std::nullopt);
  ASSERT_TRUE(recorder.waitFor(1));
  server_.stop();
  EXPECT_TRUE(eventually([&] { return !engine.isRunning(); }));
  recorder.close();
  EXPECT_EQ(engine.start(), "Connection refused");

  ASSERT_TRUE(server_.start()) << server_.error();
  connectPlayer();
  TapRecorder again;
  engine.installTap(kBufferSize, engine.inputFormat(), again.block());
  ASSERT_EQ(engine.start(), std::nullopt);
  say(toneBurst(100ms, false));
  EXPECT_TRUE(again.waitFor(3, kToneLevel / 2));
  engine.stop();
  EXPECT_EQ(recorder.lateBuffers(), 0u);
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
  EXPECT_EQ(askAccess(engine), true);
  // Without its microphone the server falls back to a sink's monitor, which is no microphone.
  const std::string unload = "pactl -s " + server_.address() + " unload-module module-remap-source";
  ASSERT_EQ(std::system(unload.c_str()), 0);
  EXPECT_EQ(askAccess(engine), false);
  server_.stop();
  EXPECT_EQ(askAccess(engine), false);
}

}  // namespace
}  // namespace vellotype
