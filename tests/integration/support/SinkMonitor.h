#pragma once
// Records what reaches one sink of a test sound server, through the sink's monitor, as 48 kHz
// mono 16-bit audio. Runs its own libpulse loop on the test's thread, so a server that goes away
// only ends the recording; reads block for as long as the audio asked for lasts. Owned by the test.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct pa_context;
struct pa_mainloop;
struct pa_stream;

namespace vellotype::testing {

class SinkMonitor {
 public:
  SinkMonitor(const std::string& serverAddress, const std::string& sink);
  ~SinkMonitor();
  SinkMonitor(const SinkMonitor&) = delete;
  SinkMonitor& operator=(const SinkMonitor&) = delete;

  // Empty while recording works.
  const std::string& error() const { return error_; }

  // The loudest sample (0 to 32768) in the next `duration` of audio; -1 when reading failed.
  int peakOver(std::chrono::milliseconds duration);

  // Reads until a sample louder than `threshold` arrives, for at most `limit` of audio, then on
  // for `tail` so the whole sound is heard. Returns the loudest sample read, or -1.
  int peakOfNextSound(int threshold, std::chrono::milliseconds limit,
                      std::chrono::milliseconds tail = std::chrono::milliseconds(200));

 private:
  // Runs the loop until `done` holds or the server has had `timeout` to get there.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  int readBlockPeak();

  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::vector<std::int16_t> pending_;
  std::string error_;
};

}  // namespace vellotype::testing
