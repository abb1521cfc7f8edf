// How long the microphone takes from sound to tap, and what start() and stop() cost the thread
// that calls them.
//
// Method: a private PulseAudio daemon (the integration tests' PulseServer) has a microphone fed
// by the "micfeed" sink. A playback stream with 5 ms of buffering writes a 5 ms click of full
// level into micfeed; "sound in" is the moment just before that write. The engine's tap looks at
// every buffer on libpulse's thread; "buffer out" is the moment the first buffer holding a
// sample of the click arrives there. Both are read from the same steady clock.
//
// Each recording is one start(), a click written as soon as start() returns (the first-buffer
// latency: what the first word of a dictation costs), then clicks every 100 ms once capture has
// run for a while (steady state), then stop(). The click is a few milliseconds of audio, so a
// latency includes the wait for the rest of its 1024-frame buffer (21.3 ms at 48 kHz) to fill:
// that is what the recogniser sees too.
//
// A null sink has no hardware clock: the figures show the sound server's and libpulse's share of
// the delay, not a sound card's.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "PulseServer.h"
#include "SinkPlayer.h"
#include "platform/pulse/PulseAudioEngine.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr int kRecordings = 25;
constexpr int kSteadyClicksPerRecording = 4;
constexpr std::uint32_t kBufferSize = 1024;
constexpr float kClickLevel = 0.9f;
constexpr float kHeard = 0.5f;
constexpr auto kSettle = 300ms;        // capture time before steady-state clicks
constexpr auto kClickSpacing = 100ms;  // the tail of one click is long gone before the next
constexpr auto kGiveUp = 3s;

// Hands the arrival time of the first buffer holding a click from libpulse's thread to the
// bench's.
class ClickListener {
 public:
  AudioEngine::TapBlock block() {
    return [this](const std::shared_ptr<const AudioBuffer>& buffer) {
      const Clock::time_point now = Clock::now();
      const auto& samples = buffer->floatChannelData.at(0);
      const bool loud =
          std::any_of(samples.begin(), samples.end(), [](float sample) { return sample > kHeard; });
      std::lock_guard lock(mutex_);
      if (armed_ && loud) {
        armed_ = false;
        heardAt_ = now;
        heard_.notify_all();
      }
    };
  }

  void arm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
    heardAt_.reset();
  }

  std::optional<Clock::time_point> wait() {
    std::unique_lock lock(mutex_);
    heard_.wait_for(lock, kGiveUp, [&] { return heardAt_.has_value(); });
    armed_ = false;
    return heardAt_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable heard_;
  bool armed_ = false;
  std::optional<Clock::time_point> heardAt_;
};

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size()) + 0.999);
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void report(const char* what, const std::vector<double>& milliseconds) {
  if (milliseconds.empty()) {
    std::printf("  %-34s no samples\n", what);
    return;
  }
  std::printf("  %-34s median %7.2f ms   p95 %7.2f ms   max %7.2f ms   (n=%zu)\n", what,
              percentile(milliseconds, 0.5), percentile(milliseconds, 0.95),
              *std::max_element(milliseconds.begin(), milliseconds.end()), milliseconds.size());
}

// Writes a click and returns how long the tap took to see it; nothing when it never did.
std::optional<double> clickLatency(testing::SinkPlayer& player, ClickListener& listener) {
  static const std::vector<float> click(testing::SinkPlayer::kRate / 200, kClickLevel);
  listener.arm();
  const Clock::time_point soundIn = Clock::now();
  if (!player.write(click)) return std::nullopt;
  const std::optional<Clock::time_point> bufferOut = listener.wait();
  if (!bufferOut) return std::nullopt;
  return Milliseconds(*bufferOut - soundIn).count();
}

int run() {
  testing::PulseServer server;
  if (!server.error().empty()) {
    std::fprintf(stderr, "no PulseAudio daemon: %s\n", server.error().c_str());
    return 1;
  }
  setenv("PULSE_SERVER", server.address().c_str(), 1);
  testing::SinkPlayer player(server.address(), testing::PulseServer::kMicFeed);
  if (!player.error().empty()) {
    std::fprintf(stderr, "%s\n", player.error().c_str());
    return 1;
  }

  PulseAudioEngine engine;
  ClickListener listener;
  engine.installTap(kBufferSize, engine.inputFormat(), listener.block());
  engine.prepare();
  std::vector<double> first, steady, starts, stops;
  int missed = 0;
  for (int recording = 0; recording < kRecordings; ++recording) {
    Clock::time_point before = Clock::now();
    if (const auto error = engine.start()) {
      std::fprintf(stderr, "start: %s\n", error->c_str());
      return 1;
    }
    starts.push_back(Milliseconds(Clock::now() - before).count());

    if (const auto latency = clickLatency(player, listener)) {
      first.push_back(*latency);
    } else {
      ++missed;
    }
    std::this_thread::sleep_for(kSettle);
    for (int click = 0; click < kSteadyClicksPerRecording; ++click) {
      if (const auto latency = clickLatency(player, listener)) {
        steady.push_back(*latency);
      } else {
        ++missed;
      }
      std::this_thread::sleep_for(kClickSpacing);
    }

    before = Clock::now();
    engine.stop();
    stops.push_back(Milliseconds(Clock::now() - before).count());
    std::this_thread::sleep_for(kClickSpacing);
  }

  std::printf("Capture latency, %d recordings, %u-frame buffers at 48 kHz (%.1f ms each):\n",
              kRecordings, kBufferSize, 1000.0 * kBufferSize / 48000);
  report("first buffer of a recording", first);
  report("steady state", steady);
  std::printf("Time on the calling thread:\n");
  report("start()", starts);
  report("stop()", stops);
  if (missed > 0) std::printf("clicks never heard: %d\n", missed);
  return missed > 0 ? 1 : 0;
}

}  // namespace
}  // namespace vellotype

int main() { return vellotype::run(); }
