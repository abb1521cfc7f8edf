#pragma once
// The window that records a new trigger key. Main thread only; created by the application on
// first use and kept.

#include <functional>

#include "values/TriggerKey.h"

namespace vellotype {

class HotkeySettingsWindowInterface {
 public:
  virtual ~HotkeySettingsWindowInterface() = default;

  // After the window has saved a newly captured or reset key.
  std::function<void(const TriggerKey&)> onHotkeyChanged;
  // Whenever the window closes.
  std::function<void()> onClosed;

  // Shows the stored trigger key again.
  virtual void reload() = 0;
  // Brings the window to the front with the keyboard focus.
  virtual void makeKeyAndOrderFront() = 0;
};

}  // namespace vellotype
