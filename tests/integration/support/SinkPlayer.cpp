#include "SinkPlayer.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <cstdint>

namespace vellotype::testing {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kBufferedBytes = SinkPlayer::kRate / 200 * sizeof(float);  // 5 ms
constexpr auto kServerTimeout = 5000ms;

}  // namespace

SinkPlayer::SinkPlayer(const std::string& serverAddress, const std::string& sink) {
  loop_ = pa_mainloop_new();
  context_ = pa_context_new(pa_mainloop_get_api(loop_), "vellotype-test-player");
  if (pa_context_connect(context_, serverAddress.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      !runUntil([&] { return pa_context_get_state(context_) == PA_CONTEXT_READY; },
                kServerTimeout)) {
    fail("connecting to " + serverAddress);
    return;
  }

  const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, kRate, 1};
  // Playback starts once these few milliseconds are buffered and pauses when they run out
  // (prebuf = tlength), so nothing written after a pause is skipped.
  pa_buffer_attr attr{};
  attr.maxlength = attr.prebuf = attr.minreq = attr.fragsize = static_cast<std::uint32_t>(-1);
  attr.tlength = kBufferedBytes;
  stream_ = pa_stream_new(context_, "test signal", &sampleFormat, nullptr);
  if (pa_stream_connect_playback(stream_, sink.c_str(), &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                 nullptr) < 0 ||
      !runUntil([&] { return pa_stream_get_state(stream_) == PA_STREAM_READY; }, kServerTimeout)) {
    fail("playing into " + sink);
    return;
  }

  // An idle null sink renders seconds ahead and only notices that its listeners want low latency
  // when that runs out; suspending and resuming it restarts its clock now.
  pa_operation_unref(pa_context_suspend_sink_by_name(context_, sink.c_str(), 1, nullptr, nullptr));
  bool resumed = false;
  pa_operation_unref(pa_context_suspend_sink_by_name(
      context_, sink.c_str(), 0,
      [](pa_context*, int, void* done) { *static_cast<bool*>(done) = true; }, &resumed));
  if (!runUntil([&] { return resumed; }, kServerTimeout)) fail("resuming " + sink);
}

SinkPlayer::~SinkPlayer() {
  if (stream_) pa_stream_unref(stream_);
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_mainloop_free(loop_);
}

bool SinkPlayer::write(std::span<const float> samples) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
  std::size_t left = samples.size_bytes();
  while (error_.empty() && left > 0) {
    if (!runUntil([&] { return pa_stream_writable_size(stream_) > 0; }, kServerTimeout)) {
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

bool SinkPlayer::drain() {
  if (!error_.empty()) return false;
  bool drained = false;
  pa_operation* operation = pa_stream_drain(
      stream_, [](pa_stream*, int, void* done) { *static_cast<bool*>(done) = true; }, &drained);
  const bool done = operation && runUntil([&] { return drained; }, kServerTimeout);
  if (operation) pa_operation_unref(operation);
  return done || fail("draining");
}

bool SinkPlayer::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) ||
        (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)))) {
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (pa_mainloop_prepare(loop_, static_cast<int>(left.count())) < 0 ||
        pa_mainloop_poll(loop_) < 0 || pa_mainloop_dispatch(loop_) < 0) {
      return false;
    }
  }
  return true;
}

bool SinkPlayer::fail(const std::string& what) {
  if (error_.empty()) error_ = what + ": " + pa_strerror(pa_context_errno(context_));
  return false;
}

}  // namespace vellotype::testing
