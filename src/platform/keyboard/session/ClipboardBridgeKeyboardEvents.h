#pragma once
// On Wayland the program's clipboard is the X11 selection, which Wayland applications see only
// once the compositor has carried its offer across XWayland; a paste keystroke that arrives
// sooner pastes what was there before. Holds each keystroke until the compositor has asked the
// clipboard for its formats, or a bound has passed. Main thread only; owned by SessionKeyboard.

#include <functional>
#include <memory>

#include "platform/KeyboardEvents.h"
#include "platform/MainQueue.h"

namespace vellotype {

class ClipboardBridgeKeyboardEvents : public KeyboardEvents {
 public:
  // Well before the input source comes back (0.3 s) and the clipboard is restored (0.5 s).
  static constexpr double kLongestWait = 0.2;
  static constexpr double kLookEvery = 0.005;

  // `clipboardOffered`: whether anyone asked for the formats of what the clipboard holds now.
  ClipboardBridgeKeyboardEvents(KeyboardEvents& keyboard, MainQueue& mainQueue,
                                std::function<bool()> clipboardOffered);

  std::vector<std::string> focusedWindowClasses() override;
  void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) override;

 private:
  void postWhenOffered(std::uint16_t keyCode, std::uint64_t flags, double waited);

  KeyboardEvents& keyboard_;
  MainQueue& mainQueue_;
  std::function<bool()> clipboardOffered_;
  // Looks still queued when this goes do nothing.
  std::shared_ptr<ClipboardBridgeKeyboardEvents*> self_ =
      std::make_shared<ClipboardBridgeKeyboardEvents*>(this);
};

}  // namespace vellotype
