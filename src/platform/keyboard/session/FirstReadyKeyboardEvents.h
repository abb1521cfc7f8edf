#pragma once
// Synthetic keystrokes through the first of several ways that is ready at the moment: on
// Wayland the remote desktop portal once the user allowed it, the virtual keyboard of wlroots
// compositors, the kernel's uinput, then X11 through XWayland. Main thread only; owned by the
// composition root, the ways it chooses from too.

#include <functional>
#include <string>
#include <vector>

#include "platform/KeyboardEvents.h"

namespace vellotype {

class FirstReadyKeyboardEvents : public KeyboardEvents {
 public:
  struct Way {
    std::string name;
    KeyboardEvents* keyboard;
    std::function<bool()> isReady;  // asked before each use: a portal may be allowed later
  };

  explicit FirstReadyKeyboardEvents(std::vector<Way> ways);

  std::vector<std::string> focusedWindowClasses() override;
  void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) override;

  // The name of the way used now; empty when none is ready.
  std::string readyName() const;

 private:
  const Way* ready() const;

  std::vector<Way> ways_;
};

}  // namespace vellotype
