#include <gtest/gtest.h>

#include "platform/x11/KeyChordPlan.h"

namespace vellotype {
namespace {

using Step = KeyChordPlan::Step;
using Steps = std::vector<Step>;

// X keycodes of a pc105 keyboard with the US layout.
constexpr std::uint8_t kLeftShift = 50, kCapsLock = 66, kLeftControl = 37, kRightControl = 105,
                       kLeftAlt = 64, kLeftSuper = 133, kAltGr = 92, kV = 55;
constexpr std::uint64_t kControl = 0x40000, kShift = 0x20000, kOption = 0x80000,
                        kCommand = 0x100000;

// The modifier map an Xvfb server starts with: Shift, Lock, Control, Mod1 to Mod5.
const KeyChordPlan::ModifierMap kXvfb = {
    {{50, 62}, {66}, {37, 105}, {64, 108, 205}, {77}, {}, {133, 134, 206, 207}, {92, 203}}};

Steps plan(std::vector<std::uint8_t> held, std::uint64_t flags,
           const KeyChordPlan::ModifierMap& modifiers = kXvfb) {
  std::bitset<256> keys;
  for (const auto k : held) keys.set(k);
  return KeyChordPlan::steps(keys, modifiers, flags, kV);
}
// The chord's own key, wrapped in presses and releases of `modifier`.
Steps with(std::uint8_t modifier) {
  return {{true, modifier}, {true, kV}, {false, kV}, {false, modifier}};
}
const Steps kKeyAlone = {{true, kV}, {false, kV}};

TEST(KeyChordPlanHeldKeys, AHeldWantedModifierServesAndCapsLockOnlyLocks) {
  EXPECT_EQ(plan({kRightControl}, kControl), kKeyAlone);
  EXPECT_EQ(plan({kLeftControl}, kControl | kShift), with(kLeftShift));
  EXPECT_EQ(plan({kCapsLock}, 0), kKeyAlone);
}

TEST(KeyChordPlanHeldKeys, ModifiersComeFromTheModifierMapNotKeyPositions) {
  auto capsControl = kXvfb;
  capsControl[1] = {};
  capsControl[2] = {37, 105, kCapsLock};
  EXPECT_EQ(plan({kCapsLock}, kControl, capsControl), kKeyAlone);
  Steps released{{false, kCapsLock}};
  for (const auto step : with(kLeftShift)) released.push_back(step);
  EXPECT_EQ(plan({kCapsLock}, kShift, capsControl), released);
}

TEST(KeyChordPlanWantedFlags, OptionIsAltCommandIsSuperAndAMissingModifierIsLeftOut) {
  Steps released{{false, kAltGr}};
  for (const auto step : with(kLeftAlt)) released.push_back(step);
  EXPECT_EQ(plan({kAltGr}, kOption), released);
  EXPECT_EQ(plan({}, kCommand), with(kLeftSuper));
  auto noSuper = kXvfb;
  noSuper[6] = {};
  EXPECT_EQ(plan({}, kCommand | kControl, noSuper), with(kLeftControl));
}

}  // namespace
}  // namespace vellotype
