#pragma once
// Turns the key the user pressed in the hotkey window into a trigger key with its name. Main
// thread only; stateless.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "values/KeyEvent.h"
#include "values/TriggerKey.h"

namespace vellotype {

class TriggerKeyCapture {
 public:
  // The trigger a key press stands for, or nothing for a release, Caps Lock or a non-key event.
  static std::optional<TriggerKey> captured(const KeyEvent& event);

 private:
  static std::optional<std::pair<TriggerKey::Modifier, std::string>> modifierKey(
      std::uint16_t keyCode);
  static std::optional<std::string> specialKeyName(std::uint16_t keyCode);
  static std::string displayNameFor(const KeyEvent& event);
};

}  // namespace vellotype
