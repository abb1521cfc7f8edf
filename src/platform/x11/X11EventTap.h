#pragma once
// The session's key filter on X11: synchronous passive grabs of the trigger's keys and XInput2
// raw key events, on an X connection and thread of its own, so that a frozen keyboard is
// answered at once whatever the main thread is doing. start() and stop() belong to the main
// thread, the filter runs on the tap's thread. Owned by the composition root.

#include <cstdint>
#include <memory>
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

 private:
  StartResult connect(const TriggerKey& trigger);
  bool enableExtensions();
  StartResult grabKeys(const std::vector<std::uint8_t>& keycodes);
  void disconnect();

  void run();  // the tap's thread

  const std::string display_;
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::uint8_t xinputOpcode_ = 0;
  std::vector<std::uint8_t> grabbed_;
  int wakeFd_ = -1;
  // The tap thread's own while it runs.
  std::unique_ptr<KeyTransitionTracker> tracker_;
  std::thread thread_;
};

}  // namespace vellotype
