#pragma once
// A keyboard event in the program's canonical terms: macOS virtual key codes and the
// device-independent modifier flag bits. The platform layer translates native events into it.

#include <cstdint>
#include <optional>
#include <string>

namespace vellotype {

struct KeyEvent {
  // The values match the platform event type numbers that stored data and tables were made with.
  enum class Type { keyDown = 10, keyUp = 11, flagsChanged = 12, other = 0 };

  Type type = Type::other;
  std::uint16_t keyCode = 0;
  std::uint64_t modifierFlags = 0;
  // What the key types with the modifiers ignored; absent for keys that type nothing.
  std::optional<std::string> charactersIgnoringModifiers;
};

}  // namespace vellotype
