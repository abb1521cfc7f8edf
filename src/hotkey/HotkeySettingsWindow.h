#pragma once
// The window in which the user picks a new trigger key by pressing it: it saves the key, says
// so, and tells the application. Main thread only; made by the application object on first use
// and kept, always in a std::shared_ptr.

#include <memory>

#include "hotkey/HotkeySettingsView.h"
#include "hotkey/HotkeySettingsWindowInterface.h"
#include "platform/Preferences.h"

namespace vellotype {

class HotkeySettingsWindow : public HotkeySettingsWindowInterface,
                             public std::enable_shared_from_this<HotkeySettingsWindow> {
 public:
  HotkeySettingsWindow(Preferences& preferences, std::unique_ptr<HotkeySettingsView> view);
  HotkeySettingsWindow(const HotkeySettingsWindow&) = delete;
  HotkeySettingsWindow& operator=(const HotkeySettingsWindow&) = delete;

  void reload() override;
  void makeKeyAndOrderFront() override;

  void startCapture();
  void resetToDefault();
  // Ends a capture and hides the window; the owner shows it again later.
  void close();

  bool isCapturing() const { return isCapturing_; }

 private:
  bool handleCaptured(const KeyEvent& event);
  void apply(const TriggerKey& key);
  void endCapture();

  Preferences& preferences_;
  std::unique_ptr<HotkeySettingsView> view_;
  bool isCapturing_ = false;
};

}  // namespace vellotype
