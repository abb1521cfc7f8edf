#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "hotkey/TriggerKeyPreferences.h"

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
    EXPECT_EQ(TriggerKeyPreferences::load(preferences), cases[i].second) << "case " << i;
  }
}

TEST(TriggerKeySave, WritesEveryFieldLeavesNoModifierBehindAndLoadsBackEqual) {
  FakePreferences p;
  TriggerKeyPreferences::save(TriggerKey{Kind::modifier, Modifier::option, 61, "Right Option"}, p);
  EXPECT_EQ(p.values, (Stored{{"triggerKeyKind", "modifier"s},
                              {"triggerKeyModifier", "option"s},
                              {"triggerKeyCode", std::int64_t(61)},
                              {"triggerKeyDisplayName", "Right Option"s}}));
  const TriggerKey f1{Kind::keyCode, std::nullopt, 122, "F1"};
  TriggerKeyPreferences::save(f1, p);
  EXPECT_EQ(p.values, (Stored{{"triggerKeyKind", "keyCode"s},
                              {"triggerKeyCode", std::int64_t(122)},
                              {"triggerKeyDisplayName", "F1"s}}));
  EXPECT_EQ(TriggerKeyPreferences::load(p), f1);
  EXPECT_NE(TriggerKeyPreferences::load(p),
            (TriggerKey{Kind::keyCode, std::nullopt, 122, "Key 122"}))
      << "the name takes part in equality";
}

}  // namespace
}  // namespace vellotype
