#pragma once
// Turns the Qt key events of an X11 session into the program's canonical key events for the
// hotkey window's capture, keeping track of which modifiers are down. Main thread only; made by
// QtHotkeySettingsView when a capture starts and dropped when it ends.

#include <QKeyEvent>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "values/KeyEvent.h"

namespace vellotype {

class QtKeyCapture {
 public:
  // `held`: the modifiers already down when the capture starts.
  explicit QtKeyCapture(Qt::KeyboardModifiers held);

  // Nothing for an event that is no key press or release, or that carries no X keycode.
  std::optional<KeyEvent> translate(const QKeyEvent& event);

  // The canonical flags of the modifiers down now.
  std::uint64_t modifierFlags() const;

  // What the key types with no modifier held: a letter's lower-case letter even under Shift or
  // Control; nothing for a key that types nothing visible.
  static std::optional<std::string> charactersIgnoringModifiers(const QKeyEvent& event);

 private:
  // Held before the capture started; each side is unknown, so a release of either drops it.
  std::uint64_t seededFlags_;
  std::set<std::uint16_t> heldModifierKeys_;
};

}  // namespace vellotype
