#pragma once
// Delivers text into whichever application has the keyboard focus. Main thread only; owned by
// the composition root.

#include <functional>
#include <string>

namespace vellotype {

class TextInjectorInterface {
 public:
  virtual ~TextInjectorInterface() = default;

  // Returns once the paste keystroke is handed to the keyboard, which types it at once or, on a
  // Wayland session whose clipboard crosses XWayland, within 0.2 s; restoring what it changed
  // happens later on the main queue.
  virtual void inject(const std::string& text) = 0;

  // No application took the text before the clipboard was due back: the text is left on the
  // clipboard rather than lost, and this says so.
  std::function<void()> onNotPasted;
};

}  // namespace vellotype
