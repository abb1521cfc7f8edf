#pragma once
// The session's key filter on X11: synchronous passive grabs of the trigger's keys and XInput2
// raw key events, on an X connection and thread of its own, so that a frozen keyboard is
// answered at once whatever the main thread is doing. start(), stop(), suspend() and resume()
// belong to the main thread, the filter runs on the tap's thread. Owned by the composition root.

#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/EventTap.h"

struct xcb_connection_t;

namespace vellotype {

class KeyTransitionTracker;

class X11EventTap : public EventTap {
 public:
  // `display` as xcb_connect takes it; empty means $DISPLAY.
  explicit X11EventTap(std::string display = {});
  ~X11EventTap() override;
  X11EventTap(const X11EventTap&) = delete;
  X11EventTap& operator=(const X11EventTap&) = delete;

  StartResult start(const TriggerKey& trigger, Filter filter) override;
  void stop() override;

  // Keeps the program's own synthetic keys from the filter: call suspend() before posting them
  // and resume() once the poster's connection has had a reply after the last one. Every event
  // the server generates in between goes to the application unseen, and the grabs are lifted
  // meanwhile so that none of those keys is caught and held back; events after resume() are seen
  // as usual. Nothing to do while the tap is stopped.
  void suspend();
  void resume();

 private:
  // Events are told apart by the number of the last request of ours the server had handled when
  // it sent them: a marker request on our connection fixes each end of the span.
  struct Span {
    std::uint32_t begin = 0;
    std::optional<std::uint32_t> end;  // none while still suspended
    bool contains(std::uint32_t sequence) const;
    bool endsBefore(std::uint32_t sequence) const;
  };

  std::uint32_t roundTrip(bool markEnd);

  StartResult connect(const TriggerKey& trigger);
  bool enableExtensions();
  StartResult grabKeys(const std::vector<std::uint8_t>& keycodes);
  // The keys down on the keyboard now, by X keycode.
  std::bitset<256> keysDown() const;
  void disconnect();

  // The tap's thread.
  void run();
  void handle(bool grabbed, bool press, std::uint8_t keycode, std::uint32_t time,
              std::uint32_t sequence);
  bool isOwn(std::uint32_t sequence);
  void allow(std::uint8_t mode);
  void confirmDrained(std::uint64_t request);

  void wake();

  const std::string display_;
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::uint8_t xinputOpcode_ = 0;
  std::vector<std::uint8_t> grabbed_;
  int wakeFd_ = -1;
  std::atomic<bool> stopping_ = false;
  std::mutex spanMutex_;
  std::optional<Span> suspended_;  // under spanMutex_
  // suspend() waits until the tap has answered every event that came before its marker.
  std::atomic<std::uint64_t> drainRequests_ = 0;
  std::uint64_t drained_ = 0;  // under spanMutex_
  std::condition_variable drainedSignal_;
  // The tap thread's own while it runs.
  std::unique_ptr<KeyTransitionTracker> tracker_;
  std::thread thread_;
};

}  // namespace vellotype
