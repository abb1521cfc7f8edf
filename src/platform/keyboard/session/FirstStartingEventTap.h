#pragma once
// The session's key filter from the first of several ways that starts: on Wayland the desktop's
// shortcuts portal, then the kernel's input devices, then X11 through XWayland. Main thread for
// start() and stop(), as for any tap; owned by the composition root, the taps it tries too.

#include <string>
#include <utility>
#include <vector>

#include "platform/EventTap.h"

namespace vellotype {

class FirstStartingEventTap : public EventTap {
 public:
  // Tried in this order; each is named for activeName().
  explicit FirstStartingEventTap(std::vector<std::pair<std::string, EventTap*>> taps);

  // The first tap to start wins. When none does, the answer is keyInUse if any tap found the
  // key taken (the user can pick another), else unavailable.
  StartResult start(const TriggerKey& trigger, Filter filter) override;
  void stop() override;

  // The name of the tap that started last; empty when none runs.
  const std::string& activeName() const { return activeName_; }

 private:
  std::vector<std::pair<std::string, EventTap*>> taps_;
  EventTap* active_ = nullptr;
  std::string activeName_;
};

}  // namespace vellotype
