#include <gtest/gtest.h>

#include "hotkey/TriggerKeyCapture.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;

TEST(TriggerKeyCapture, APressedModifierIsCapturedWithItsSideAndAReleaseIsNot) {
  const auto flagsChanged = [](std::uint16_t code, std::uint64_t flags) {
    return TriggerKeyCapture::captured({KeyEvent::Type::flagsChanged, code, flags, std::nullopt});
  };
  // Another modifier held at the same time changes nothing.
  // clang-format off
  for (const auto& [code, modifier, bit, name] : {
           std::tuple{54, Modifier::command, modifiers::kCommand, "Right Command"},
           {55, Modifier::command, modifiers::kCommand, "Left Command"},
           {56, Modifier::shift, modifiers::kShift, "Left Shift"},
           {60, Modifier::shift, modifiers::kShift, "Right Shift"},
           {58, Modifier::option, modifiers::kOption, "Left Option"},
           {61, Modifier::option, modifiers::kOption, "Right Option"},
           {59, Modifier::control, modifiers::kControl, "Left Control"},
           {62, Modifier::control, modifiers::kControl, "Right Control"},
           {63, Modifier::function, modifiers::kFunction, "Fn"}}) {
    // clang-format on
    const std::uint64_t other = bit == modifiers::kShift ? modifiers::kOption : modifiers::kShift;
    EXPECT_EQ(flagsChanged(code, 0x100 | other | bit),
              (TriggerKey{Kind::modifier, modifier, std::uint16_t(code), name}));
    EXPECT_EQ(flagsChanged(code, 0x100 | other), std::nullopt) << name;
  }
  // Caps Lock, and keys outside the modifier table, never make a modifier trigger.
  for (const std::uint16_t code : {57, 53, 64}) {
    EXPECT_EQ(flagsChanged(code, 0xFFFFFF), std::nullopt) << code;
    EXPECT_EQ(flagsChanged(code, 0), std::nullopt) << code;
  }
}

TEST(TriggerKeyCapture, AnyPressedKeyIsCapturedWithANameAndAReleaseIsNot) {
  // ß has a two-letter capital; special names win over characters.
  // clang-format off
  for (const auto& [code, characters, name] : {
           std::tuple<std::uint16_t, std::optional<std::string>, std::string>{0, "a", "A"},
           {27, "\u00df", "SS"}, {122, "x", "F1"}, {36, "\r", "Return"},
           {126, std::nullopt, "Up Arrow"}, {200, std::nullopt, "Key 200"}, {35, "", "Key 35"}}) {
    // clang-format on
    EXPECT_EQ(TriggerKeyCapture::captured({KeyEvent::Type::keyDown, code, 0, characters}),
              (TriggerKey{Kind::keyCode, std::nullopt, code, name}));
  }
  EXPECT_EQ(TriggerKeyCapture::captured({KeyEvent::Type::keyUp, 0, 0, "a"}), std::nullopt);
}

}  // namespace
}  // namespace vellotype
