#pragma once
// The keymap the virtual keyboard carries: US English, whatever layout the user types with, so
// that the key pressed for "v" types "v"; with the modifier state each canonical flag sets. Any
// thread; owned by VirtualKeyboardEvents.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellotype {

class VirtualKeymap {
 public:
  // The modifier keys to hold for a set of canonical flags, and the state they make.
  struct Modifiers {
    std::vector<std::uint16_t> evdevKeys;
    std::vector<std::uint32_t> depressedAfterEach;
  };

  // Nothing when xkbcommon finds no layouts to build it from; `error` then says why.
  static std::optional<VirtualKeymap> compile(std::string& error);

  // The keymap in xkbcommon's text format, as wl_keyboard.keymap carries it.
  const std::string& text() const { return text_; }
  // Control, Shift, Option (Alt) and Command (Super); other flags are ignored.
  Modifiers modifiers(std::uint64_t flags) const;

 private:
  VirtualKeymap() = default;

  std::string text_;
  std::uint32_t control_ = 0, shift_ = 0, alt_ = 0, super_ = 0;
};

}  // namespace vellotype
