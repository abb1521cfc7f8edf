#include <gtest/gtest.h>

#include "platform/keyboard/x11/KeyChordPlan.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using Steps = std::vector<KeyChordPlan::Step>;

// X keycodes of a pc105 keyboard with the US layout.
constexpr std::uint8_t kLeftShift = 50, kCapsLock = 66, kLeftControl = 37, kLeftAlt = 64,
                       kLeftSuper = 133, kAltGr = 92, kV = 55;
using modifiers::kCommand;
using modifiers::kControl;
using modifiers::kOption;
using modifiers::kShift;

// The modifier map an Xvfb server starts with: Shift, Lock, Control, Mod1 to Mod5.
const KeyChordPlan::ModifierMap kXvfb = {
    {{50, 62}, {66}, {37, 105}, {64, 108, 205}, {77}, {}, {133, 134, 206, 207}, {92, 203}}};

Steps plan(std::vector<std::uint8_t> held, std::uint64_t flags,
           const KeyChordPlan::ModifierMap& modifiers = kXvfb) {
  std::bitset<256> keys;
  for (const auto k : held) keys.set(k);
  return KeyChordPlan::steps(keys, modifiers, flags, kV);
}
// `released` let go first, then the chord's key wrapped in presses and releases of `modifier`.
Steps with(std::uint8_t modifier, std::vector<std::uint8_t> released = {}) {
  Steps steps;
  for (const auto k : released) steps.push_back({false, k});
  steps.insert(steps.end(), {{true, modifier}, {true, kV}, {false, kV}, {false, modifier}});
  return steps;
}
const Steps kKeyAlone = {{true, kV}, {false, kV}};

TEST(KeyChordPlan, ModifiersComeFromTheModifierMapNotKeyPositions) {
  EXPECT_EQ(plan({kCapsLock}, 0), kKeyAlone) << "Caps Lock only locks";
  auto capsControl = kXvfb;
  capsControl[1] = {};
  capsControl[2] = {37, 105, kCapsLock};
  EXPECT_EQ(plan({kCapsLock}, kControl, capsControl), kKeyAlone);
  EXPECT_EQ(plan({kCapsLock}, kShift, capsControl), with(kLeftShift, {kCapsLock}));
  EXPECT_EQ(plan({kAltGr}, kOption), with(kLeftAlt, {kAltGr})) << "AltGr is Mod5, not Alt";
  EXPECT_EQ(plan({}, kCommand), with(kLeftSuper));
  auto noSuper = kXvfb;
  noSuper[6] = {};
  EXPECT_EQ(plan({}, kCommand | kControl, noSuper), with(kLeftControl));
}

}  // namespace
}  // namespace vellotype
