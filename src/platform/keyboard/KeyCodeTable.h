#pragma once
// The one translation between Linux key codes (evdev; an X11 keycode is evdev + 8) and the
// canonical macOS virtual key codes, with what each modifier key adds to an event's flags.
// Constant data, safe from any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "values/TriggerKey.h"

namespace vellotype {

class KeyCodeTable {
 public:
  struct Entry {
    std::uint16_t evdev;
    std::uint16_t macKeyCode;
  };

  // A Linux key with no macOS counterpart stands for itself above every macOS code, so that any
  // key can be a trigger and a stored code still leads back to its key.
  static constexpr std::uint16_t kUnmappedBase = 0x200;
  static constexpr std::uint16_t kMaxEvdev = 0x2FF;

  // Nothing for evdev 0 or codes past the kernel's last key.
  static std::optional<std::uint16_t> macKeyCode(std::uint16_t evdev);
  // Nothing for keys Linux keyboards lack, such as Fn.
  static std::optional<std::uint16_t> evdevCode(std::uint16_t macKeyCode);

  static bool isModifier(std::uint16_t macKeyCode);
  // Zero for keys that set no bit, Caps Lock among them.
  static std::uint64_t modifierFlag(std::uint16_t macKeyCode);

  // The physical keys whose presses hold `trigger`; empty when none exists on Linux.
  static std::vector<std::uint16_t> evdevCodes(const TriggerKey& trigger);

  static std::span<const Entry> entries();
};

}  // namespace vellotype
