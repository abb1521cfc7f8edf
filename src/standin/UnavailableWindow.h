#pragma once
// Stands in for a settings window until this build has it: opening it says so in an alert,
// and closing that alert closes the "window". Main thread only; made by the application object
// on first use.

#include <string>

#include "app/HotkeySettingsWindowInterface.h"
#include "app/SettingsWindowInterface.h"
#include "platform/Alerts.h"

namespace vellotype {

class UnavailableWindow : public HotkeySettingsWindowInterface, public SettingsWindowInterface {
 public:
  UnavailableWindow(Alerts& alerts, std::string title)
      : alerts_(alerts), title_(std::move(title)) {}

  void reload() override {}
  void makeKeyAndOrderFront() override {
    alerts_.runModal({.messageText = title_,
                      .informativeText = "This window is not available in this build yet.",
                      .style = Alert::Style::informational,
                      .buttons = {"OK"}});
    if (onClosed) onClosed();
  }

 private:
  Alerts& alerts_;
  std::string title_;
};

}  // namespace vellotype
