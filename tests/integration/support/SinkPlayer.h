#pragma once
// Plays 48 kHz mono audio into one sink of a test sound server with only a few milliseconds
// buffered, so what is written is heard at once. Runs its own libpulse loop on the test's thread;
// calls block while the audio plays. Owned by the test.

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace vellotype::testing {

class SinkPlayer {
 public:
  static constexpr unsigned kRate = 48000;

  SinkPlayer(const std::string& serverAddress, const std::string& sink) {
    context_ = pa_context_new(pa_mainloop_get_api(loop_), "vellotype-test-player");
    if (pa_context_connect(context_, serverAddress.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !runUntil([&] { return pa_context_get_state(context_) == PA_CONTEXT_READY; })) {
      fail("connecting to " + serverAddress);
      return;
    }
    const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, kRate, 1};
    // Playback starts once 5 ms are buffered and pauses when they run out (prebuf = tlength),
    // so nothing written after a pause is skipped.
    pa_buffer_attr attr{};
    attr.maxlength = attr.prebuf = attr.minreq = attr.fragsize = static_cast<std::uint32_t>(-1);
    attr.tlength = kRate / 200 * sizeof(float);
    stream_ = pa_stream_new(context_, "test signal", &sampleFormat, nullptr);
    if (pa_stream_connect_playback(stream_, sink.c_str(), &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0 ||
        !runUntil([&] { return pa_stream_get_state(stream_) == PA_STREAM_READY; })) {
      fail("playing into " + sink);
      return;
    }
    // An idle null sink renders seconds ahead and only notices that its listeners want low
    // latency when that runs out; suspending and resuming it restarts its clock now.
    pa_operation_unref(
        pa_context_suspend_sink_by_name(context_, sink.c_str(), 1, nullptr, nullptr));
    bool resumed = false;
    pa_operation_unref(pa_context_suspend_sink_by_name(
        context_, sink.c_str(), 0,
        [](pa_context*, int, void* done) { *static_cast<bool*>(done) = true; }, &resumed));
    if (!runUntil([&] { return resumed; })) fail("resuming " + sink);
  }
  ~SinkPlayer() {
    if (stream_) pa_stream_unref(stream_);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    pa_mainloop_free(loop_);
  }
  SinkPlayer(const SinkPlayer&) = delete;
  SinkPlayer& operator=(const SinkPlayer&) = delete;

  // Empty while playing works.
  const std::string& error() const { return error_; }

  // Returns once the server has taken the samples: all but the last few milliseconds played.
  bool write(std::span<const float> samples) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
    std::size_t left = samples.size_bytes();
    while (error_.empty() && left > 0) {
      if (!runUntil([&] { return pa_stream_writable_size(stream_) > 0; })) {
        return fail("waiting to write");
      }
      const std::size_t count = std::min(left, pa_stream_writable_size(stream_));
      if (pa_stream_write(stream_, bytes, count, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
        return fail("writing");
      }
      bytes += count;
      left -= count;
    }
    return error_.empty();
  }
  // Returns once everything written has been played.
  bool drain() {
    if (!error_.empty()) return false;
    bool drained = false;
    pa_operation* operation = pa_stream_drain(
        stream_, [](pa_stream*, int, void* done) { *static_cast<bool*>(done) = true; }, &drained);
    const bool done = operation && runUntil([&] { return drained; });
    if (operation) pa_operation_unref(operation);
    return done || fail("draining");
  }

 private:
  // Runs the loop until `done` holds or the server has had 5 s to get there.
  bool runUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) ||
          (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) || left.count() <= 0 ||
          pa_mainloop_prepare(loop_, static_cast<int>(left.count())) < 0 ||
          pa_mainloop_poll(loop_) < 0 || pa_mainloop_dispatch(loop_) < 0) {
        return false;
      }
    }
    return true;
  }
  bool fail(const std::string& what) {
    if (error_.empty()) error_ = what + ": " + pa_strerror(pa_context_errno(context_));
    return false;
  }

  pa_mainloop* loop_ = pa_mainloop_new();
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::string error_;
};

}  // namespace vellotype::testing
