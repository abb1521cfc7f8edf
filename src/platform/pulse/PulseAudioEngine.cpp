#include "platform/pulse/PulseAudioEngine.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace vellotype {

namespace {

constexpr std::uint32_t kSampleRate = 48000;
// On top of one fragment's time at stop: the server's scheduling and the socket on a busy machine.
constexpr std::chrono::milliseconds kFlushMargin{50};

// The server converts from whatever the source delivers, so the tap sees one format everywhere.
constexpr pa_sample_spec kSpec{PA_SAMPLE_FLOAT32NE, kSampleRate, 1};

pa_usec_t rtclockAt(std::chrono::steady_clock::time_point at) {
  const auto left =
      std::chrono::duration_cast<std::chrono::microseconds>(at - std::chrono::steady_clock::now());
  return pa_rtclock_now() + static_cast<pa_usec_t>(std::max<std::int64_t>(left.count(), 0));
}

}  // namespace

PulseAudioEngine::PulseAudioEngine(std::chrono::milliseconds serverTimeout)
    : serverTimeout_(serverTimeout) {
  mainloop_ = pa_threaded_mainloop_new();
  if (!mainloop_) return;
  pa_threaded_mainloop_set_name(mainloop_, "vellotype-mic");
  api_ = pa_threaded_mainloop_get_api(mainloop_);
  if (pa_threaded_mainloop_start(mainloop_) < 0) {
    pa_threaded_mainloop_free(mainloop_);
    mainloop_ = nullptr;
  }
}

PulseAudioEngine::~PulseAudioEngine() {
  if (!mainloop_) return;
  // Once the loop has stopped nothing else touches the state, so teardown needs no lock.
  pa_threaded_mainloop_stop(mainloop_);
  dropContext();
  pa_threaded_mainloop_free(mainloop_);
}

AudioFormat PulseAudioEngine::inputFormat() const { return {kSampleRate, kSpec.channels}; }

void PulseAudioEngine::installTap(std::uint32_t bufferSize, AudioFormat, TapBlock block) {
  // The format asked for is not negotiated: the stream always delivers inputFormat(), which is
  // what callers tap in.
  if (!mainloop_) return;
  pa_threaded_mainloop_lock(mainloop_);
  bufferSize_ = bufferSize > 0 ? bufferSize : kDefaultBufferSize;
  block_ = std::move(block);
  pending_.clear();
  pending_.reserve(bufferSize_);
  pa_threaded_mainloop_unlock(mainloop_);
}

void PulseAudioEngine::removeTap() {
  if (!mainloop_) return;
  // Taking the lock also waits out a block that is running now.
  pa_threaded_mainloop_lock(mainloop_);
  block_ = nullptr;
  pending_.clear();
  pa_threaded_mainloop_unlock(mainloop_);
}

void PulseAudioEngine::prepare() {
  if (!mainloop_) return;
  pa_threaded_mainloop_lock(mainloop_);
  connectIfNeeded();
  pa_threaded_mainloop_unlock(mainloop_);
}

std::optional<std::string> PulseAudioEngine::start() {
  if (!mainloop_) return pa_strerror(PA_ERR_INTERNAL);
  const Clock::time_point deadline = Clock::now() + serverTimeout_;
  pa_threaded_mainloop_lock(mainloop_);
  std::optional<std::string> error = openStream(deadline);
  pa_threaded_mainloop_unlock(mainloop_);
  return error;
}

void PulseAudioEngine::stop() {
  if (!mainloop_) return;
  pa_threaded_mainloop_lock(mainloop_);
  if (stream_) {
    // The source hands its audio over about once per fragment, so up to a fragment of the last
    // words may still be in the server or on the socket. The server's timing report says how far
    // its capture had got; the wait ends once that much has arrived.
    const auto fragment =
        std::chrono::microseconds(std::uint64_t{bufferSize_} * 1000000 / kSampleRate);
    const auto flushTime =
        std::min<std::chrono::microseconds>(kMaxFlushTime, fragment + kFlushMargin);
    flushTarget_.reset();
    if (pa_operation* timing = pa_stream_update_timing_info(stream_, &onTimingInfo, this)) {
      waitUntil([&] { return !stream_ || (flushTarget_ && bytesReceived_ >= *flushTarget_); },
                Clock::now() + flushTime);
      pa_operation_cancel(timing);
      pa_operation_unref(timing);
    }
    if (stream_) deliver();
    dropStream();
  }
  pa_threaded_mainloop_unlock(mainloop_);
}

bool PulseAudioEngine::isRunning() const { return running_; }

void PulseAudioEngine::requestAccess(std::function<void(bool granted)> handler) {
  if (!handler) return;
  if (!mainloop_) {
    handler(false);
    return;
  }
  pa_threaded_mainloop_lock(mainloop_);
  // Before the handler is queued: replacing a dead context answers the handlers it had.
  connectIfNeeded();
  accessHandlers_.push_back(std::move(handler));
  if (accessHandlers_.size() == 1) {
    accessDeadline_ = newTimer(Clock::now() + serverTimeout_, &onAccessExpired);
    const pa_context_state_t state = context_ ? pa_context_get_state(context_) : PA_CONTEXT_FAILED;
    if (!accessDeadline_ || !PA_CONTEXT_IS_GOOD(state)) {
      answerAccess(false);
    } else if (state == PA_CONTEXT_READY) {
      askServerForMicrophone();
    }
  }
  pa_threaded_mainloop_unlock(mainloop_);
}

void PulseAudioEngine::connectIfNeeded() {
  // A context still on its way is left alone: start() bounds its own wait for it.
  if (context_ && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) return;
  dropContext();
  context_ = pa_context_new(api_, "Vellotype");
  if (!context_) return;
  pa_context_set_state_callback(context_, &PulseAudioEngine::onContextState, this);
  // Starting a sound server is the desktop's business. A failure here fails the context, which
  // start() reports with the server's reason.
  pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
}

void PulseAudioEngine::dropContext() {
  dropStream();
  if (context_) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  answerAccess(false);
}

void PulseAudioEngine::dropStream() {
  running_ = false;
  pending_.clear();
  if (!stream_) return;
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  // A stream still being created stays with its context, which the caller drops as well.
  if (pa_stream_get_state(stream_) == PA_STREAM_READY) pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

std::optional<std::string> PulseAudioEngine::openStream(Clock::time_point deadline) {
  if (stream_) return std::nullopt;
  connectIfNeeded();
  if (!context_) return pa_strerror(PA_ERR_INTERNAL);
  const bool settled = waitUntil(
      [&] {
        const pa_context_state_t state = pa_context_get_state(context_);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
      },
      deadline);
  if (!settled || pa_context_get_state(context_) != PA_CONTEXT_READY) {
    // A server that has not answered by now is treated as gone: the next start connects anew.
    std::string error = settled ? contextError() : pa_strerror(PA_ERR_TIMEOUT);
    dropContext();
    return error;
  }

  stream_ = pa_stream_new(context_, "Dictation", &kSpec, nullptr);
  if (!stream_) return contextError();
  bytesReceived_ = 0;
  pending_.clear();
  pa_stream_set_state_callback(stream_, &PulseAudioEngine::onStreamState, this);
  pa_stream_set_read_callback(stream_, &PulseAudioEngine::onReadable, this);
  // Without a fragment size the server picks a latency of seconds and the first words arrive
  // long after they were spoken.
  pa_buffer_attr attr{};
  attr.maxlength = attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_frame_size(&kSpec) * bufferSize_);
  if (pa_stream_connect_record(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
    std::string error = contextError();
    dropStream();
    return error;
  }
  // A stream that fails is dropped by its state callback.
  if (!waitUntil([&] { return !stream_ || pa_stream_get_state(stream_) == PA_STREAM_READY; },
                 deadline)) {
    dropContext();
    return pa_strerror(PA_ERR_TIMEOUT);
  }
  if (!stream_) return contextError();
  running_ = true;
  return std::nullopt;
}

bool PulseAudioEngine::waitUntil(const std::function<bool()>& done, Clock::time_point deadline) {
  waitExpired_ = false;
  pa_time_event* timer = newTimer(deadline, &onWaitExpired);
  while (timer && !done() && !waitExpired_) pa_threaded_mainloop_wait(mainloop_);
  freeTimer(timer);
  return done();
}

pa_time_event* PulseAudioEngine::newTimer(Clock::time_point at,
                                          void (*callback)(pa_mainloop_api*, pa_time_event*,
                                                           const timeval*, void*)) {
  // The context's timers run on the monotonic clock, so a change of wall-clock time cannot
  // stretch a wait.
  if (!context_) return nullptr;
  return pa_context_rttime_new(context_, rtclockAt(at), callback, this);
}

void PulseAudioEngine::freeTimer(pa_time_event*& timer) {
  if (timer) api_->time_free(timer);
  timer = nullptr;
}

std::string PulseAudioEngine::contextError() const {
  return pa_strerror(context_ ? pa_context_errno(context_) : PA_ERR_INTERNAL);
}

void PulseAudioEngine::take(const void* samples, std::size_t frames) {
  if (!block_) return;
  const auto* bytes = static_cast<const std::uint8_t*>(samples);
  while (frames > 0) {
    const std::size_t at = pending_.size();
    const std::size_t count = std::min<std::size_t>(bufferSize_ - at, frames);
    // A hole is audio the server never had; it stays silence, so the timeline keeps its length.
    pending_.resize(at + count);
    if (bytes) {
      std::memcpy(pending_.data() + at, bytes, count * sizeof(float));
      bytes += count * sizeof(float);
    }
    frames -= count;
    if (pending_.size() == bufferSize_) deliver();
  }
}

void PulseAudioEngine::deliver() {
  if (pending_.empty() || !block_) return;
  auto buffer = std::make_shared<AudioBuffer>();
  buffer->format = inputFormat();
  buffer->frameLength = static_cast<std::uint32_t>(pending_.size());
  buffer->floatChannelData.push_back(std::exchange(pending_, {}));
  pending_.reserve(bufferSize_);
  block_(std::move(buffer));
}

void PulseAudioEngine::askServerForMicrophone() {
  pa_operation* query = pa_context_get_server_info(context_, &onServerInfo, this);
  if (!query) return answerAccess(false);
  pa_operation_unref(query);
}

void PulseAudioEngine::answerAccess(bool granted) {
  freeTimer(accessDeadline_);
  for (auto& handler : std::exchange(accessHandlers_, {})) handler(granted);
}

void PulseAudioEngine::onContextState(pa_context* context, void* self) {
  auto& engine = *static_cast<PulseAudioEngine*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY && !engine.accessHandlers_.empty()) {
    engine.askServerForMicrophone();
  } else if (!PA_CONTEXT_IS_GOOD(state)) {
    engine.answerAccess(false);
  }
  pa_threaded_mainloop_signal(engine.mainloop_, 0);
}

void PulseAudioEngine::onStreamState(pa_stream* stream, void* self) {
  auto& engine = *static_cast<PulseAudioEngine*>(self);
  // A server that goes away fails the stream: capture ends here, and the next start()
  // connects anew.
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)) && stream == engine.stream_) {
    engine.dropStream();
  }
  pa_threaded_mainloop_signal(engine.mainloop_, 0);
}

void PulseAudioEngine::onReadable(pa_stream* stream, std::size_t, void* self) {
  auto& engine = *static_cast<PulseAudioEngine*>(self);
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
    engine.bytesReceived_ += bytes;
    engine.take(data, bytes / sizeof(float));
    pa_stream_drop(stream);
  }
  pa_threaded_mainloop_signal(engine.mainloop_, 0);
}

void PulseAudioEngine::onTimingInfo(pa_stream* stream, int success, void* self) {
  auto& engine = *static_cast<PulseAudioEngine*>(self);
  const pa_timing_info* timing = success ? pa_stream_get_timing_info(stream) : nullptr;
  if (timing && !timing->write_index_corrupt) {
    // What the server has queued for us, and what its source holds but has not yet passed on.
    engine.flushTarget_ =
        static_cast<std::uint64_t>(std::max<std::int64_t>(timing->write_index, 0)) +
        pa_usec_to_bytes(timing->source_usec, &kSpec);
  } else {
    engine.flushTarget_ = engine.bytesReceived_;  // nothing known to wait for
  }
  pa_threaded_mainloop_signal(engine.mainloop_, 0);
}

void PulseAudioEngine::onServerInfo(pa_context* context, const pa_server_info* info, void* self) {
  auto& engine = *static_cast<PulseAudioEngine*>(self);
  if (!info || !info->default_source_name) return engine.answerAccess(false);
  pa_operation* query =
      pa_context_get_source_info_by_name(context, info->default_source_name, &onSourceInfo, self);
  if (!query) return engine.answerAccess(false);
  pa_operation_unref(query);
}

void PulseAudioEngine::onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* self) {
  if (eol > 0) return;  // the end of a list whose entry has already answered
  // A sink's monitor is what the server falls back to without a microphone: recording it would
  // type out whatever the speakers play.
  static_cast<PulseAudioEngine*>(self)->answerAccess(info &&
                                                     info->monitor_of_sink == PA_INVALID_INDEX);
}

void PulseAudioEngine::onWaitExpired(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
  auto& engine = *static_cast<PulseAudioEngine*>(self);
  engine.waitExpired_ = true;
  pa_threaded_mainloop_signal(engine.mainloop_, 0);
}

void PulseAudioEngine::onAccessExpired(pa_mainloop_api*, pa_time_event*, const timeval*,
                                       void* self) {
  static_cast<PulseAudioEngine*>(self)->answerAccess(false);
}

}  // namespace vellotype
