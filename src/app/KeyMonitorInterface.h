#pragma once
// What the application needs of the global trigger-key watch. Main thread only; owned by the
// composition root and shared with the application object.

#include <functional>

#include "hotkey/TriggerKey.h"

namespace vellotype {

class KeyMonitorInterface {
 public:
  virtual ~KeyMonitorInterface() = default;

  // Posted to the main queue, never run inside the platform's event callback. While the monitor
  // runs, a key-up follows every key-down.
  std::function<void()> onKeyDown;
  std::function<void()> onKeyUp;

  virtual const TriggerKey& triggerKey() const = 0;
  // Takes effect with the next event and forgets a key that was held.
  virtual void setTriggerKey(const TriggerKey& key) = 0;

  // False when the platform refuses the global watch. Restarts the watch when already running.
  virtual bool start() = 0;
  // Safe when already stopped.
  virtual void stop() = 0;
};

}  // namespace vellotype
