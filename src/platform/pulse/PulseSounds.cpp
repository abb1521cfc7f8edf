#include "platform/pulse/PulseSounds.h"

#include <pulse/context.h>
#include <pulse/proplist.h>
#include <pulse/scache.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/volume.h>

#include <algorithm>
#include <utility>

namespace vellotype {

namespace {

// A sound owed since before the server was ready no longer reads as feedback after this.
constexpr std::chrono::milliseconds kMaxLateness{1000};
constexpr std::size_t kMaxNameLength = 64;
constexpr char kCachePrefix[] = "vellotype-";

// Names become file names and server-side sample names: a plain word keeps both out of trouble
// ("../x", spaces, an empty name).
bool isPlainName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxNameLength &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_';
         });
}

}  // namespace

PulseSounds::PulseSounds(std::filesystem::path directory, std::chrono::milliseconds retryInterval)
    : directory_(std::move(directory)), retryInterval_(retryInterval) {
  mainloop_ = pa_threaded_mainloop_new();
  if (!mainloop_) return;
  pa_threaded_mainloop_set_name(mainloop_, "vellotype-snd");
  api_ = pa_threaded_mainloop_get_api(mainloop_);
  // Created enabled, so the loop's first pass connects before anything is played.
  wake_ = api_->defer_new(api_, &PulseSounds::onWake, this);
  if (!wake_ || pa_threaded_mainloop_start(mainloop_) < 0) {
    if (wake_) api_->defer_free(wake_);
    pa_threaded_mainloop_free(mainloop_);
    mainloop_ = nullptr;
  }
}

PulseSounds::~PulseSounds() {
  if (!mainloop_) return;
  // Once the loop has stopped nothing else touches the state, so teardown needs no lock.
  pa_threaded_mainloop_stop(mainloop_);
  dropContext();
  api_->defer_free(wake_);
  pa_threaded_mainloop_free(mainloop_);
}

void PulseSounds::play(std::string_view name) {
  if (!mainloop_ || !isPlainName(name)) return;
  // The lock is only ever held for short callbacks, never across a wait for the server.
  pa_threaded_mainloop_lock(mainloop_);
  requests_.emplace_back(name);
  api_->defer_enable(wake_, 1);
  pa_threaded_mainloop_unlock(mainloop_);
}

void PulseSounds::onWake(pa_mainloop_api* api, pa_defer_event* event, void* self) {
  api->defer_enable(event, 0);
  static_cast<PulseSounds*>(self)->serveRequests();
}

void PulseSounds::serveRequests() {
  const std::vector<std::string> requests = std::exchange(requests_, {});
  const Clock::time_point playBy = Clock::now() + kMaxLateness;
  for (const std::string& name : requests) {
    Sample& sample = sampleNamed(name);
    if (sample.wav) sample.playBy = playBy;
  }
  // Reconnecting only when asked to play keeps a machine without a server free of polling.
  if (!context_ || !requests.empty()) connectIfDue();
  if (!connected()) return;
  for (auto& [name, sample] : samples_) {
    if (!sample.playBy) continue;
    if (sample.cached) {
      playIfOwed(sample);
    } else if (!sample.upload) {
      startUpload(sample);
    }
  }
}

PulseSounds::Sample& PulseSounds::sampleNamed(const std::string& name) {
  if (auto found = samples_.find(name); found != samples_.end()) return found->second;
  // Read once: a file that is missing now stays silent rather than being looked for per play.
  return samples_
      .try_emplace(name, this, kCachePrefix + name, WavFile::load(directory_ / (name + ".wav")))
      .first->second;
}

bool PulseSounds::connected() const {
  return context_ && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

void PulseSounds::connectIfDue() {
  // A context still on its way is left alone: libpulse fails it by itself if the server never
  // answers.
  if (context_ && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) return;
  const Clock::time_point now = Clock::now();
  if (lastConnectAttempt_ && now - *lastConnectAttempt_ < retryInterval_) return;
  lastConnectAttempt_ = now;
  dropContext();

  context_ = pa_context_new(api_, "Vellotype");
  if (!context_) return;
  pa_context_set_state_callback(context_, &PulseSounds::onContextState, this);
  // Starting a sound server is the desktop's business, not a feedback sound's.
  pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
}

void PulseSounds::dropContext() {
  for (auto& [name, sample] : samples_) {
    dropUpload(sample);
    sample.cached = false;
  }
  if (!context_) return;
  pa_context_set_state_callback(context_, nullptr, nullptr);
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  context_ = nullptr;
}

void PulseSounds::dropUpload(Sample& sample) {
  if (!sample.upload) return;
  // The context keeps its own reference until it is disconnected; without callbacks the stream
  // can no longer reach the sample.
  pa_stream_set_state_callback(sample.upload, nullptr, nullptr);
  pa_stream_set_write_callback(sample.upload, nullptr, nullptr);
  pa_stream_unref(sample.upload);
  sample.upload = nullptr;
}

void PulseSounds::onContextState(pa_context* context, void* self) {
  auto& sounds = *static_cast<PulseSounds*>(self);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
      // A new connection may be a new server with an empty cache: upload everything known, so
      // later plays start at once.
      for (auto& [name, sample] : sounds.samples_) {
        if (sample.wav && !sample.upload) sounds.startUpload(sample);
      }
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      // Upload streams fail along with the context and release themselves.
      for (auto& [name, sample] : sounds.samples_) sample.cached = false;
      break;
    default:
      break;
  }
}

void PulseSounds::startUpload(Sample& sample) {
  const WavFile& wav = *sample.wav;
  const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, wav.sampleRate(), wav.channels()};
  pa_proplist* properties = pa_proplist_new();
  // The server copies these onto every playback, so mixers file the sound under events.
  pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "event");
  sample.upload = pa_stream_new_with_proplist(context_, sample.cacheName.c_str(), &sampleFormat,
                                              nullptr, properties);
  pa_proplist_free(properties);
  if (!sample.upload) return;
  sample.bytesWritten = 0;
  pa_stream_set_state_callback(sample.upload, &PulseSounds::onUploadState, &sample);
  pa_stream_set_write_callback(sample.upload, &PulseSounds::onUploadWritable, &sample);
  if (pa_stream_connect_upload(sample.upload, wav.samples().size()) < 0) dropUpload(sample);
}

void PulseSounds::onUploadWritable(pa_stream* stream, std::size_t bytes, void* userdata) {
  auto& sample = *static_cast<Sample*>(userdata);
  const std::span<const std::uint8_t> data = sample.wav->samples();
  if (sample.bytesWritten == data.size()) return;
  const std::size_t count = std::min(bytes, data.size() - sample.bytesWritten);
  // A null free callback makes libpulse copy the bytes, so the file's buffer stays ours.
  if (pa_stream_write(stream, data.data() + sample.bytesWritten, count, nullptr, 0,
                      PA_SEEK_RELATIVE) < 0) {
    pa_stream_disconnect(stream);  // the state callback releases it
    return;
  }
  sample.bytesWritten += count;
  if (sample.bytesWritten == data.size() && pa_stream_finish_upload(stream) < 0) {
    pa_stream_disconnect(stream);
  }
}

void PulseSounds::onUploadState(pa_stream* stream, void* userdata) {
  auto& sample = *static_cast<Sample*>(userdata);
  const pa_stream_state_t state = pa_stream_get_state(stream);
  if (state != PA_STREAM_TERMINATED && state != PA_STREAM_FAILED) return;
  sample.cached =
      state == PA_STREAM_TERMINATED && sample.bytesWritten == sample.wav->samples().size();
  sample.upload = nullptr;
  pa_stream_unref(stream);
  if (sample.cached) sample.owner->playIfOwed(sample);
}

void PulseSounds::playIfOwed(Sample& sample) {
  if (!sample.playBy) return;
  const bool inTime = Clock::now() <= *sample.playBy;
  sample.playBy.reset();
  if (!inTime || !connected()) return;
  // Null device: the default sink, wherever the user has moved it.
  pa_operation* operation =
      pa_context_play_sample(context_, sample.cacheName.c_str(), nullptr, PA_VOLUME_INVALID,
                             &PulseSounds::onPlayed, &sample);
  if (operation) pa_operation_unref(operation);
}

void PulseSounds::onPlayed(pa_context*, int success, void* userdata) {
  // Someone may have emptied the server's cache; upload again on the next play.
  if (!success) static_cast<Sample*>(userdata)->cached = false;
}

}  // namespace vellotype
