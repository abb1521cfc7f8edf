#pragma once
// Synthetic keystrokes to the focused application. Main thread only; owned by the composition
// root. The program's own key monitor never sees them.

#include <cstdint>
#include <string>
#include <vector>

namespace vellotype {

class KeyboardEvents {
 public:
  virtual ~KeyboardEvents() = default;

  // The names the focused window's program gives itself (on X11 its WM_CLASS instance and
  // class), lower case; empty when unknown.
  virtual std::vector<std::string> focusedWindowClasses() = 0;
  // A key-down and a key-up of `keyCode` (canonical) carrying exactly the `flags` modifiers,
  // whatever the user holds; no key is left down afterwards. Typed at once, or by a way that must
  // wait for the desktop, within 0.2 s.
  virtual void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) = 0;
};

}  // namespace vellotype
