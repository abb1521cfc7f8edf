#include "platform/keyboard/KeyCodeTable.h"

#include <algorithm>
#include <array>

namespace vellotype {
namespace {

using Entry = KeyCodeTable::Entry;
using Modifier = TriggerKey::Modifier;

// Evdev numbers from linux/input-event-codes.h, macOS numbers from the kVK_ constants.
// clang-format off
constexpr std::array<Entry, 119> kEntries = {{
    // Letters.
    {30, 0x00}, {31, 0x01}, {32, 0x02}, {33, 0x03}, {35, 0x04}, {34, 0x05}, {44, 0x06},
    {45, 0x07}, {46, 0x08}, {47, 0x09}, {48, 0x0B}, {16, 0x0C}, {17, 0x0D}, {18, 0x0E},
    {19, 0x0F}, {21, 0x10}, {20, 0x11}, {24, 0x1F}, {22, 0x20}, {23, 0x22}, {25, 0x23},
    {38, 0x25}, {36, 0x26}, {37, 0x28}, {49, 0x2D}, {50, 0x2E},
    // Digits 1-9, 0.
    {2, 0x12}, {3, 0x13}, {4, 0x14}, {5, 0x15}, {6, 0x17}, {7, 0x16}, {8, 0x1A}, {9, 0x1C},
    {10, 0x19}, {11, 0x1D},
    // Punctuation: - = [ ] ; ' ` \ , . / and the ISO key beside Left Shift.
    {12, 0x1B}, {13, 0x18}, {26, 0x21}, {27, 0x1E}, {39, 0x29}, {40, 0x27}, {41, 0x32},
    {43, 0x2A}, {51, 0x2B}, {52, 0x2F}, {53, 0x2C}, {86, 0x0A},
    // Return, Tab, Space, Backspace, Escape, Delete, Home, End, Page Up, Page Down; Insert sits
    // where a Mac keyboard has Help, and the PC menu key is the Mac's contextual-menu key.
    {28, 0x24}, {15, 0x30}, {57, 0x31}, {14, 0x33}, {1, 0x35}, {111, 0x75}, {102, 0x73},
    {107, 0x77}, {104, 0x74}, {109, 0x79}, {110, 0x72}, {127, 0x6E},
    // Left, Right, Down, Up.
    {105, 0x7B}, {106, 0x7C}, {108, 0x7D}, {103, 0x7E},
    // F1-F20.
    {59, 0x7A}, {60, 0x78}, {61, 0x63}, {62, 0x76}, {63, 0x60}, {64, 0x61}, {65, 0x62},
    {66, 0x64}, {67, 0x65}, {68, 0x6D}, {87, 0x67}, {88, 0x6F}, {183, 0x69}, {184, 0x6B},
    {185, 0x71}, {186, 0x6A}, {187, 0x40}, {188, 0x4F}, {189, 0x50}, {190, 0x5A},
    // Keypad 0-9, . * + - / Enter =, and Num Lock where a Mac keypad has Clear.
    {82, 0x52}, {79, 0x53}, {80, 0x54}, {81, 0x55}, {75, 0x56}, {76, 0x57}, {77, 0x58},
    {71, 0x59}, {72, 0x5B}, {73, 0x5C}, {83, 0x41}, {55, 0x43}, {78, 0x45}, {74, 0x4E},
    {98, 0x4B}, {96, 0x4C}, {117, 0x51}, {69, 0x47},
    // Mute, Volume Down, Volume Up.
    {113, 0x4A}, {114, 0x49}, {115, 0x48},
    // JIS: Yen, Ro, keypad comma; the Kana and Eisu keys arrive as Lang1 and Lang2.
    {124, 0x5D}, {89, 0x5E}, {95, 0x5F}, {122, 0x68}, {123, 0x66},
    // Control, Shift, Alt (Right Alt is AltGr), Meta (Super) left and right; Caps Lock.
    {29, 0x3B}, {97, 0x3E}, {42, 0x38}, {54, 0x3C}, {56, 0x3A}, {100, 0x3D}, {125, 0x37},
    {126, 0x36}, {58, 0x39},
}};
// clang-format on

struct ModifierKey {
  std::uint16_t macKeyCode;
  std::optional<Modifier> modifier;  // Caps Lock locks rather than modifies
};

constexpr std::array<ModifierKey, 10> kModifierKeys = {{
    {0x3B, Modifier::control},
    {0x3E, Modifier::control},
    {0x38, Modifier::shift},
    {0x3C, Modifier::shift},
    {0x3A, Modifier::option},
    {0x3D, Modifier::option},
    {0x37, Modifier::command},
    {0x36, Modifier::command},
    {0x3F, Modifier::function},
    {0x39, std::nullopt},
}};

const Entry* byEvdev(std::uint16_t evdev) {
  const auto it = std::find_if(kEntries.begin(), kEntries.end(),
                               [&](const Entry& e) { return e.evdev == evdev; });
  return it == kEntries.end() ? nullptr : &*it;
}

const ModifierKey* modifierKey(std::uint16_t macKeyCode) {
  const auto it = std::find_if(kModifierKeys.begin(), kModifierKeys.end(),
                               [&](const ModifierKey& m) { return m.macKeyCode == macKeyCode; });
  return it == kModifierKeys.end() ? nullptr : &*it;
}

}  // namespace

std::optional<std::uint16_t> KeyCodeTable::macKeyCode(std::uint16_t evdev) {
  if (const auto* entry = byEvdev(evdev)) return entry->macKeyCode;
  if (evdev == 0 || evdev > kMaxEvdev) return std::nullopt;
  return std::uint16_t(kUnmappedBase + evdev);
}

std::optional<std::uint16_t> KeyCodeTable::evdevCode(std::uint16_t macKeyCode) {
  const auto it = std::find_if(kEntries.begin(), kEntries.end(),
                               [&](const Entry& e) { return e.macKeyCode == macKeyCode; });
  if (it != kEntries.end()) return it->evdev;
  if (macKeyCode <= kUnmappedBase || macKeyCode > kUnmappedBase + kMaxEvdev) return std::nullopt;
  const std::uint16_t evdev = macKeyCode - kUnmappedBase;
  // A mapped key is known by its macOS code only, so that each key has exactly one code.
  if (byEvdev(evdev)) return std::nullopt;
  return evdev;
}

bool KeyCodeTable::isModifier(std::uint16_t macKeyCode) { return modifierKey(macKeyCode); }

std::uint64_t KeyCodeTable::modifierFlag(std::uint16_t macKeyCode) {
  const auto* key = modifierKey(macKeyCode);
  return key && key->modifier ? flagMask(*key->modifier) : 0;
}

std::vector<std::uint16_t> KeyCodeTable::evdevCodes(const TriggerKey& trigger) {
  std::vector<std::uint16_t> codes;
  if (trigger.kind == TriggerKey::Kind::keyCode || trigger.keyCode != 0) {
    if (const auto evdev = evdevCode(trigger.keyCode)) codes.push_back(*evdev);
    return codes;
  }
  if (!trigger.modifier) return codes;
  for (const auto& key : kModifierKeys) {
    if (key.modifier != trigger.modifier) continue;
    if (const auto evdev = evdevCode(key.macKeyCode)) codes.push_back(*evdev);
  }
  return codes;
}

std::span<const KeyCodeTable::Entry> KeyCodeTable::entries() { return kEntries; }

}  // namespace vellotype
