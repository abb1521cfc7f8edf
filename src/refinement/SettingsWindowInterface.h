#pragma once
// The correction service's settings window. Main thread only; created by the application on
// first use and kept.

namespace vellotype {

class SettingsWindowInterface {
 public:
  virtual ~SettingsWindowInterface() = default;

  // Brings the window to the front with the keyboard focus.
  virtual void makeKeyAndOrderFront() = 0;
};

}  // namespace vellotype
