#pragma once
// The microphone through the sound server's default source. Its operations are called on the
// main thread; libpulse's own thread reads the audio and runs the tap's block. Owned by the
// composition root.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/AudioEngine.h"

struct pa_context;
struct pa_mainloop_api;
struct pa_server_info;
struct pa_source_info;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
struct timeval;

namespace vellotype {

class PulseAudioEngine : public AudioEngine {
 public:
  // How long start() and requestAccess() give the server to answer: a hung server must not hang
  // the key press that started recording.
  static constexpr std::chrono::milliseconds kDefaultServerTimeout{2000};
  // The most stop() waits for audio still on its way from the server.
  static constexpr std::chrono::milliseconds kMaxFlushTime{150};
  // The fragment size asked of the server before any tap has said what it wants.
  static constexpr std::uint32_t kDefaultBufferSize = 1024;

  explicit PulseAudioEngine(std::chrono::milliseconds serverTimeout = kDefaultServerTimeout);
  ~PulseAudioEngine() override;
  PulseAudioEngine(const PulseAudioEngine&) = delete;
  PulseAudioEngine& operator=(const PulseAudioEngine&) = delete;

  AudioFormat inputFormat() const override;
  // The block, like requestAccess()'s handler, runs with libpulse's lock held, mostly on its
  // thread: it hands its buffer on and must not call back into the engine.
  void installTap(std::uint32_t bufferSize, AudioFormat format, TapBlock block) override;
  void removeTap() override;

  void prepare() override;
  std::optional<std::string> start() override;
  void stop() override;
  bool isRunning() const override;

  void requestAccess(std::function<void(bool granted)> handler) override;

 private:
  using Clock = std::chrono::steady_clock;

  // Everything below runs with libpulse's lock held, on whichever thread holds it.
  void connectIfNeeded();
  void dropContext();
  void dropStream();
  std::optional<std::string> openStream(Clock::time_point deadline);
  // Lets go of the lock until `done` holds or `deadline` passes; says whether `done` holds.
  bool waitUntil(const std::function<bool()>& done, Clock::time_point deadline);
  pa_time_event* newTimer(Clock::time_point at, void (*callback)(pa_mainloop_api*, pa_time_event*,
                                                                 const timeval*, void*));
  void freeTimer(pa_time_event*& timer);
  std::string contextError() const;

  void take(const void* samples, std::size_t frames);  // null: a hole, silence
  void deliver();
  void askServerForMicrophone();
  void answerAccess(bool granted);

  static void onContextState(pa_context* context, void* self);
  static void onStreamState(pa_stream* stream, void* self);
  static void onReadable(pa_stream* stream, std::size_t bytes, void* self);
  static void onTimingInfo(pa_stream* stream, int success, void* self);
  static void onServerInfo(pa_context* context, const pa_server_info* info, void* self);
  static void onSourceInfo(pa_context* context, const pa_source_info* info, int eol, void* self);
  static void onWaitExpired(pa_mainloop_api*, pa_time_event*, const timeval*, void* self);
  static void onAccessExpired(pa_mainloop_api*, pa_time_event*, const timeval*, void* self);

  const std::chrono::milliseconds serverTimeout_;
  pa_threaded_mainloop* mainloop_ = nullptr;  // null when libpulse could not start its thread
  pa_mainloop_api* api_ = nullptr;

  // Shared between the main thread and libpulse's thread, under libpulse's lock.
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::uint32_t bufferSize_ = kDefaultBufferSize;
  TapBlock block_;
  std::vector<float> pending_;                // the next buffer, filling up
  std::uint64_t bytesReceived_ = 0;           // by the current stream, holes included
  std::optional<std::uint64_t> flushTarget_;  // where the server's captured audio ends, at stop
  bool waitExpired_ = false;
  std::vector<std::function<void(bool)>> accessHandlers_;
  pa_time_event* accessDeadline_ = nullptr;

  std::atomic<bool> running_ = false;
};

}  // namespace vellotype
