#pragma once
// The keymap a virtual keyboard carries, of its own whatever layout the user types with, and the
// modifier state each canonical flag sets in it. Any thread; owned by VirtualKeyboardEvents.

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

  // `layout` as XKB names it ("us"). Nothing when xkbcommon finds no such layout; `error` then
  // says why.
  static std::optional<VirtualKeymap> compile(const std::string& layout, std::string& error);

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
