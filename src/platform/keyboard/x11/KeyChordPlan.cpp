#include "platform/keyboard/x11/KeyChordPlan.h"

#include <algorithm>
#include <optional>

#include "platform/keyboard/KeyCodeTable.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

constexpr std::size_t kShiftRow = 0, kLockRow = 1, kControlRow = 2;
constexpr std::uint16_t kEvdevOffset = 8;

struct Wanted {
  std::uint64_t flag;
  std::uint16_t macKeyCode;        // the left-hand key, pressed when nobody holds the modifier
  std::optional<std::size_t> row;  // fixed by the core protocol; else wherever that key is bound
};
constexpr std::array<Wanted, 4> kWanted = {{
    {modifiers::kControl, 0x3B, kControlRow},
    {modifiers::kShift, 0x38, kShiftRow},
    {modifiers::kOption, 0x3A, std::nullopt},
    {modifiers::kCommand, 0x37, std::nullopt},
}};

bool bound(const KeyChordPlan::ModifierMap& modifiers, std::size_t row, std::uint8_t keycode) {
  return std::find(modifiers[row].begin(), modifiers[row].end(), keycode) != modifiers[row].end();
}

}  // namespace

std::vector<KeyChordPlan::Step> KeyChordPlan::steps(const std::bitset<256>& held,
                                                    const ModifierMap& modifiers,
                                                    std::uint64_t flags, std::uint8_t keycode) {
  // Each wanted modifier's row and the key that would set it.
  std::bitset<8> wantedRows;
  std::vector<std::pair<std::size_t, std::uint8_t>> candidates;
  for (const auto& wanted : kWanted) {
    if ((flags & wanted.flag) == 0) continue;
    const auto evdev = KeyCodeTable::evdevCode(wanted.macKeyCode);
    const auto canonical = std::uint8_t(evdev ? *evdev + kEvdevOffset : 0);
    auto row = wanted.row;
    for (std::size_t r = 0; !row && r < modifiers.size(); ++r) {
      if (canonical != 0 && bound(modifiers, r, canonical)) row = r;
    }
    // A layout may bind the modifier to other keys only, or to none (then it cannot be had).
    if (!row) continue;
    std::uint8_t key = canonical;
    if (!bound(modifiers, *row, key)) {
      const auto& keys = modifiers[*row];
      const auto first = std::find_if(keys.begin(), keys.end(), [](auto k) { return k != 0; });
      if (first == keys.end()) continue;
      key = *first;
    }
    wantedRows.set(*row);
    candidates.emplace_back(*row, key);
  }

  std::vector<Step> steps;
  std::bitset<8> heldRows;
  for (std::size_t k = 1; k < held.size(); ++k) {
    if (!held[k]) continue;
    std::bitset<8> rows;
    // Lock only toggles on a press; holding Caps Lock adds nothing.
    for (std::size_t r = 0; r < modifiers.size(); ++r) {
      if (r != kLockRow && bound(modifiers, r, std::uint8_t(k))) rows.set(r);
    }
    if ((rows & ~wantedRows).any()) {
      steps.push_back({false, std::uint8_t(k)});
    } else {
      heldRows |= rows;
    }
  }

  std::vector<std::uint8_t> pressed;
  for (const auto& [row, key] : candidates) {
    if (heldRows[row] || std::find(pressed.begin(), pressed.end(), key) != pressed.end()) continue;
    pressed.push_back(key);
    steps.push_back({true, key});
  }
  steps.push_back({true, keycode});
  steps.push_back({false, keycode});
  for (auto it = pressed.rbegin(); it != pressed.rend(); ++it) steps.push_back({false, *it});
  return steps;
}

}  // namespace vellotype
