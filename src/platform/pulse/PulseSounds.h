#pragma once
// Plays <directory>/<name>.wav through the sound server's sample cache. play() is called on the
// main thread; libpulse's own thread does all server work. Owned by the composition root.

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Sounds.h"
#include "platform/pulse/WavFile.h"

struct pa_context;
struct pa_defer_event;
struct pa_mainloop_api;
struct pa_stream;
struct pa_threaded_mainloop;

namespace vellotype {

class PulseSounds : public Sounds {
 public:
  using Clock = std::chrono::steady_clock;

  // A lost server is looked for again on a later play(), but no sooner than this after the last
  // try, so a missing or hung server costs nothing per keypress.
  static constexpr std::chrono::milliseconds kDefaultRetryInterval{3000};

  explicit PulseSounds(std::filesystem::path directory,
                       std::chrono::milliseconds retryInterval = kDefaultRetryInterval);
  ~PulseSounds() override;
  PulseSounds(const PulseSounds&) = delete;
  PulseSounds& operator=(const PulseSounds&) = delete;

  void play(std::string_view name) override;

 private:
  // One name's sound as the server knows it. Touched only on libpulse's thread.
  struct Sample {
    Sample(PulseSounds* owner, std::string cacheName, std::optional<WavFile> wav)
        : owner(owner), cacheName(std::move(cacheName)), wav(std::move(wav)) {}

    PulseSounds* owner;
    std::string cacheName;
    std::optional<WavFile> wav;  // empty when the file is missing or not playable
    bool cached = false;         // uploaded to the server the context is connected to now
    pa_stream* upload = nullptr;
    std::size_t bytesWritten = 0;
    std::optional<Clock::time_point> playBy;  // a play still owed, unless it would come this late
  };

  // Everything below runs on libpulse's thread with its lock held.
  static void onWake(pa_mainloop_api* api, pa_defer_event* event, void* self);
  static void onContextState(pa_context* context, void* self);
  static void onUploadState(pa_stream* stream, void* sample);
  static void onUploadWritable(pa_stream* stream, std::size_t bytes, void* sample);
  static void onPlayed(pa_context* context, int success, void* sample);

  void serveRequests();
  Sample& sampleNamed(const std::string& name);
  bool connected() const;
  void connectIfDue();
  void dropContext();
  void startUpload(Sample& sample);
  void playIfOwed(Sample& sample);
  static void dropUpload(Sample& sample);

  const std::filesystem::path directory_;
  const std::chrono::milliseconds retryInterval_;
  pa_threaded_mainloop* mainloop_ = nullptr;  // null when libpulse could not start its thread
  pa_mainloop_api* api_ = nullptr;
  pa_defer_event* wake_ = nullptr;

  // Shared between the main thread and libpulse's thread, under libpulse's lock.
  std::vector<std::string> requests_;

  // libpulse's thread only.
  pa_context* context_ = nullptr;
  std::optional<Clock::time_point> lastConnectAttempt_;
  std::map<std::string, Sample, std::less<>> samples_;  // never erased: callbacks point at them
};

}  // namespace vellotype
