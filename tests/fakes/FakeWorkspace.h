#pragma once
// A desktop session with a settable language and kind. Records "workspace: open <url>".

#include "fakes/CallLog.h"
#include "platform/Workspace.h"

namespace vellotype {

class FakeWorkspace : public Workspace, Recorder {
 public:
  using Recorder::Recorder;

  bool openURL(std::string_view url) override {
    log_.record("workspace: open " + std::string(url));
    return true;
  }
  std::string currentLocaleIdentifier() const override { return locale; }
  bool isWaylandSession() const override { return wayland; }

  std::string locale = "de-DE";
  bool wayland = false;
};

}  // namespace vellotype
