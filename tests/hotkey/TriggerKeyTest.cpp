#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "hotkey/TriggerKey.h"

namespace vellotype {
namespace {

using namespace std::string_literals;
using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;
using Stored = decltype(FakePreferences::values);

TEST(TriggerKeyLoad, StoredValuesGiveTheirKeyAndAnythingUnusableTheDefault) {
  const TriggerKey control{Kind::modifier, Modifier::control, 0, "Control"};
  const auto code = [](std::int64_t c) { return Stored::value_type{"triggerKeyCode", c}; };
  const auto modifier = [](std::string m) {
    return Stored{{"triggerKeyKind", "modifier"s}, {"triggerKeyModifier", m}};
  };
  const Stored::value_type keyCode{"triggerKeyKind", "keyCode"s};
  // Raw values are case-sensitive. Loading does not consult the names of special keys: 96 is
  // "F5" only when pressed.
  // clang-format off
  const std::pair<Stored, TriggerKey> cases[] = {
      {{}, control},                           {{{"triggerKeyKind", "Modifier"s}}, control},
      {{{"triggerKeyKind", std::int64_t(1)}}, control},
      {{{"triggerKeyKind", "modifier"s}, code(61)}, control},
      {modifier("Option"), control},           {{keyCode, code(-1)}, control},
      {{keyCode, code(65536)}, control},
      {{keyCode, {"triggerKeyCode", "abc"s}}, control},
      {{keyCode, {"triggerKeyCode", true}}, control},
      {{{"triggerKeyKind", "modifier"s}, {"triggerKeyModifier", "option"s},
        {"triggerKeyCode", "x"s}}, control},
      {modifier("option"), {Kind::modifier, Modifier::option, 0, "Option"}},
      {modifier("function"), {Kind::modifier, Modifier::function, 0, "Fn"}},
      {{keyCode, code(96)}, {Kind::keyCode, std::nullopt, 96, "Key 96"}},
      {{keyCode, code(65535)}, {Kind::keyCode, std::nullopt, 65535, "Key 65535"}},
      {{keyCode, code(96), {"triggerKeyDisplayName", ""s}},
       {Kind::keyCode, std::nullopt, 96, "Key 96"}},  // found by fuzzing: no name is none
  };
  // clang-format on
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    FakePreferences preferences;
    preferences.values = cases[i].first;
    EXPECT_EQ(TriggerKey::load(preferences), cases[i].second) << "case " << i;
  }
}

TEST(TriggerKeySave, WritesEveryFieldLeavesNoModifierBehindAndLoadsBackEqual) {
  FakePreferences p;
  TriggerKey{Kind::modifier, Modifier::option, 61, "Right Option"}.save(p);
  EXPECT_EQ(p.values, (Stored{{"triggerKeyKind", "modifier"s},
                              {"triggerKeyModifier", "option"s},
                              {"triggerKeyCode", std::int64_t(61)},
                              {"triggerKeyDisplayName", "Right Option"s}}));
  const TriggerKey f1{Kind::keyCode, std::nullopt, 122, "F1"};
  f1.save(p);
  EXPECT_EQ(p.values, (Stored{{"triggerKeyKind", "keyCode"s},
                              {"triggerKeyCode", std::int64_t(122)},
                              {"triggerKeyDisplayName", "F1"s}}));
  EXPECT_EQ(TriggerKey::load(p), f1);
  EXPECT_NE(TriggerKey::load(p), (TriggerKey{Kind::keyCode, std::nullopt, 122, "Key 122"}))
      << "the name takes part in equality";
}

TEST(TriggerKeyCapture, APressedModifierIsCapturedWithItsSideAndAReleaseIsNot) {
  const auto flagsChanged = [](std::uint16_t code, std::uint64_t flags) {
    return TriggerKey::captured({KeyEvent::Type::flagsChanged, code, flags, std::nullopt});
  };
  // The device-independent bits: Shift 0x20000, Control 0x40000, Option 0x80000, Command
  // 0x100000, Fn 0x800000; another modifier held at the same time changes nothing.
  // clang-format off
  for (const auto& [code, modifier, bit, name] : {
           std::tuple{54, Modifier::command, 0x100000, "Right Command"},
           {55, Modifier::command, 0x100000, "Left Command"},
           {56, Modifier::shift, 0x20000, "Left Shift"}, {60, Modifier::shift, 0x20000, "Right Shift"},
           {58, Modifier::option, 0x80000, "Left Option"},
           {61, Modifier::option, 0x80000, "Right Option"},
           {59, Modifier::control, 0x40000, "Left Control"},
           {62, Modifier::control, 0x40000, "Right Control"},
           {63, Modifier::function, 0x800000, "Fn"}}) {
    // clang-format on
    const std::uint64_t other = bit == 0x20000 ? 0x80000 : 0x20000;
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
    EXPECT_EQ(TriggerKey::captured({KeyEvent::Type::keyDown, code, 0, characters}),
              (TriggerKey{Kind::keyCode, std::nullopt, code, name}));
  }
  EXPECT_EQ(TriggerKey::captured({KeyEvent::Type::keyUp, 0, 0, "a"}), std::nullopt);
}

}  // namespace
}  // namespace vellotype
