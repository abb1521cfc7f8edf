#pragma once
// Keeps the main menu and records "app: mainMenu", "app: activate" and "app: terminate".

#include "fakes/CallLog.h"
#include "platform/Application.h"

namespace vellotype {

class FakeApplication : public Application, Recorder {
 public:
  using Recorder::Recorder;

  void setMainMenu(std::shared_ptr<Menu> menu) override {
    mainMenu = std::move(menu);
    log_.record("app: mainMenu");
  }
  void activateIgnoringOtherApps() override { log_.record("app: activate"); }
  void terminate() override { log_.record("app: terminate"); }

  std::shared_ptr<Menu> mainMenu;
};

}  // namespace vellotype
