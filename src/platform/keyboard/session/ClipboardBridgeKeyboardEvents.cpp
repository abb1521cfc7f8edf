#include "platform/keyboard/session/ClipboardBridgeKeyboardEvents.h"

namespace vellotype {

ClipboardBridgeKeyboardEvents::ClipboardBridgeKeyboardEvents(KeyboardEvents& keyboard,
                                                             MainQueue& mainQueue,
                                                             std::function<bool()> clipboardOffered)
    : keyboard_(keyboard), mainQueue_(mainQueue), clipboardOffered_(std::move(clipboardOffered)) {}

std::vector<std::string> ClipboardBridgeKeyboardEvents::focusedWindowClasses() {
  return keyboard_.focusedWindowClasses();
}

void ClipboardBridgeKeyboardEvents::postKeyChord(std::uint16_t keyCode, std::uint64_t flags) {
  postWhenOffered(keyCode, flags, 0);
}

void ClipboardBridgeKeyboardEvents::postWhenOffered(std::uint16_t keyCode, std::uint64_t flags,
                                                    double waited) {
  // Without a bridge that asks (a compositor of another kind), the keystroke still goes, late.
  if (clipboardOffered_() || waited >= kLongestWait) {
    keyboard_.postKeyChord(keyCode, flags);
    return;
  }
  mainQueue_.postAfter(kLookEvery, [weak = std::weak_ptr(self_), keyCode, flags, waited] {
    if (const auto self = weak.lock())
      (*self)->postWhenOffered(keyCode, flags, waited + kLookEvery);
  });
}

}  // namespace vellotype
