#include "SinkMonitor.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace vellotype::testing {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kRate = 48000;
constexpr std::size_t kBlockFrames = kRate / 100;  // 10 ms
constexpr auto kServerTimeout = 5000ms;

int blocksIn(std::chrono::milliseconds duration) {
  return static_cast<int>((duration.count() + 9) / 10);
}

}  // namespace

SinkMonitor::SinkMonitor(const std::string& serverAddress, const std::string& sink) {
  loop_ = pa_mainloop_new();
  context_ = pa_context_new(pa_mainloop_get_api(loop_), "vellotype-test-monitor");
  if (pa_context_connect(context_, serverAddress.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      !runUntil([&] { return pa_context_get_state(context_) == PA_CONTEXT_READY; },
                kServerTimeout)) {
    error_ = "connecting to " + serverAddress + ": " + pa_strerror(pa_context_errno(context_));
    return;
  }

  const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, kRate, 1};
  // Without a small fragment size the server hands audio over in large, late batches.
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(kBlockFrames * sizeof(std::int16_t));
  stream_ = pa_stream_new(context_, "sink monitor", &sampleFormat, nullptr);
  const std::string source = sink + ".monitor";
  if (pa_stream_connect_record(stream_, source.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) < 0 ||
      !runUntil([&] { return pa_stream_get_state(stream_) == PA_STREAM_READY; }, kServerTimeout)) {
    error_ = "recording " + source + ": " + pa_strerror(pa_context_errno(context_));
    return;
  }

  // An idle null sink renders seconds ahead and only notices the monitor's low latency when
  // that runs out; suspending and resuming it restarts its clock now.
  pa_operation_unref(pa_context_suspend_sink_by_name(context_, sink.c_str(), 1, nullptr, nullptr));
  bool resumed = false;
  pa_operation_unref(pa_context_suspend_sink_by_name(
      context_, sink.c_str(), 0,
      [](pa_context*, int, void* done) { *static_cast<bool*>(done) = true; }, &resumed));
  if (!runUntil([&] { return resumed; }, kServerTimeout)) error_ = "resuming " + sink;
}

SinkMonitor::~SinkMonitor() {
  if (stream_) pa_stream_unref(stream_);
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_mainloop_free(loop_);
}

bool SinkMonitor::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
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

int SinkMonitor::readBlockPeak() {
  if (!error_.empty()) return -1;
  const bool filled = runUntil(
      [&] {
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pending_.size() < kBlockFrames && pa_stream_readable_size(stream_) > 0 &&
               pa_stream_peek(stream_, &data, &bytes) == 0 && bytes > 0) {
          // A hole (data == null) is audio the server never had: count it as silence.
          const std::size_t frames = bytes / sizeof(std::int16_t);
          const std::size_t at = pending_.size();
          pending_.resize(at + frames);
          if (data) std::memcpy(pending_.data() + at, data, frames * sizeof(std::int16_t));
          pa_stream_drop(stream_);
        }
        return pending_.size() >= kBlockFrames;
      },
      kServerTimeout);
  if (!filled) return -1;
  int peak = 0;
  for (std::size_t i = 0; i < kBlockFrames; ++i) {
    peak = std::max(peak, std::abs(static_cast<int>(pending_[i])));
  }
  pending_.erase(pending_.begin(), pending_.begin() + kBlockFrames);
  return peak;
}

int SinkMonitor::peakOver(std::chrono::milliseconds duration) {
  int peak = 0;
  for (int i = 0; i < blocksIn(duration); ++i) {
    const int block = readBlockPeak();
    if (block < 0) return -1;
    peak = std::max(peak, block);
  }
  return peak;
}

int SinkMonitor::peakOfNextSound(int threshold, std::chrono::milliseconds limit,
                                 std::chrono::milliseconds tail) {
  int peak = 0;
  for (int i = 0; i < blocksIn(limit) && peak <= threshold; ++i) {
    const int block = readBlockPeak();
    if (block < 0) return -1;
    peak = std::max(peak, block);
  }
  if (peak <= threshold) return peak;
  const int rest = peakOver(tail);
  return rest < 0 ? -1 : std::max(peak, rest);
}

}  // namespace vellotype::testing
