#pragma once
// What the application needs of the global trigger-key watch. Main thread only; owned by the
// composition root and shared with the application object.

#include <functional>

#include "platform/EventTap.h"
#include "values/TriggerKey.h"

namespace vellotype {

class KeyMonitorInterface {
 public:
  virtual ~KeyMonitorInterface() = default;

  // Posted to the main queue, never run inside the platform's event callback. While the monitor
  // runs, a key-up follows every key-down.
  std::function<void()> onKeyDown;
  std::function<void()> onKeyUp;
  // Another key went down while a modifier trigger is held: the user is typing a shortcut
  // (Control+C), not talking. Reported once per hold, before the trigger's key-up.
  std::function<void()> onChordKey;

  virtual const TriggerKey& triggerKey() const = 0;
  // Takes effect with the next event and forgets a key that was held.
  virtual void setTriggerKey(const TriggerKey& key) = 0;

  // Restarts the watch when already running; anything but `started` leaves it stopped.
  virtual EventTap::StartResult start() = 0;
  // Safe when already stopped.
  virtual void stop() = 0;
};

}  // namespace vellotype
