#pragma once
// Plays 48 kHz mono audio into one sink of a test sound server with only a few milliseconds
// buffered, so what is written is heard at once. Runs its own libpulse loop on the test's thread;
// calls block while the audio plays. Owned by the test.

#include <chrono>
#include <functional>
#include <span>
#include <string>

struct pa_context;
struct pa_mainloop;
struct pa_stream;

namespace vellotype::testing {

class SinkPlayer {
 public:
  static constexpr unsigned kRate = 48000;

  SinkPlayer(const std::string& serverAddress, const std::string& sink);
  ~SinkPlayer();
  SinkPlayer(const SinkPlayer&) = delete;
  SinkPlayer& operator=(const SinkPlayer&) = delete;

  // Empty while playing works.
  const std::string& error() const { return error_; }

  // Returns once the server has taken the samples: all but the last few milliseconds played.
  bool write(std::span<const float> samples);
  // Returns once everything written has been played.
  bool drain();

 private:
  // Runs the loop until `done` holds or the server has had `timeout` to get there.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  bool fail(const std::string& what);

  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::string error_;
};

}  // namespace vellotype::testing
