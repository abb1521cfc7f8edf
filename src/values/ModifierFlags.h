#pragma once
// The device-independent modifier flag bits of a key event, the one definition that stored
// preferences, key tables and menus share. Constants only; usable on any thread.

#include <cstdint>

namespace vellotype::modifiers {

inline constexpr std::uint64_t kShift = 0x20000;
inline constexpr std::uint64_t kControl = 0x40000;
inline constexpr std::uint64_t kOption = 0x80000;
inline constexpr std::uint64_t kCommand = 0x100000;
inline constexpr std::uint64_t kFunction = 0x800000;

}  // namespace vellotype::modifiers
