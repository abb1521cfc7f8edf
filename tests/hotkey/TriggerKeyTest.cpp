#include <gtest/gtest.h>

#include "fakes/FakePreferences.h"
#include "hotkey/TriggerKey.h"
#include "platform/PreferenceKeys.h"

namespace vellotype {
namespace {

using namespace std::string_literals;
using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;
using Stored = decltype(FakePreferences::values);

const TriggerKey kControlEitherSide{Kind::modifier, Modifier::control, 0, "Control"};

TriggerKey loadFrom(Stored stored) {
  FakePreferences preferences;
  preferences.values = std::move(stored);
  return TriggerKey::load(preferences);
}

TEST(TriggerKeyLoad, NothingUsableStoredGivesControlOnEitherSide) {
  const Stored cases[] = {
      {},
      {{"triggerKeyKind", "Modifier"s}},  // raw values are case-sensitive
      {{"triggerKeyKind", "mouse"s}},
      {{"triggerKeyKind", std::int64_t(1)}},
      {{"triggerKeyKind", "modifier"s}, {"triggerKeyCode", std::int64_t(61)}},
      {{"triggerKeyKind", "modifier"s}, {"triggerKeyModifier", "Option"s}},
      {{"triggerKeyKind", "keyCode"s}, {"triggerKeyCode", std::int64_t(-1)}},
      {{"triggerKeyKind", "modifier"s},
       {"triggerKeyModifier", "shift"s},
       {"triggerKeyCode", std::int64_t(65536)}},
  };
  for (const auto& stored : cases) {
    EXPECT_EQ(loadFrom(stored), kControlEitherSide) << "case " << (&stored - cases);
  }
}

TEST(TriggerKeyLoad, MissingCodeAndNameAreFilledIn) {
  EXPECT_EQ(loadFrom({{"triggerKeyKind", "modifier"s}, {"triggerKeyModifier", "option"s}}),
            (TriggerKey{Kind::modifier, Modifier::option, 0, "Option"}));
  EXPECT_EQ(
      loadFrom({{"triggerKeyKind", "modifier"s}, {"triggerKeyModifier", "function"s}}).displayName,
      "Fn");
  // Loading does not consult the names of special keys: 96 is F5 when pressed.
  EXPECT_EQ(loadFrom({{"triggerKeyKind", "keyCode"s}, {"triggerKeyCode", std::int64_t(96)}}),
            (TriggerKey{Kind::keyCode, std::nullopt, 96, "Key 96"}));
  EXPECT_EQ(loadFrom({{"triggerKeyKind", "keyCode"s}}),
            (TriggerKey{Kind::keyCode, std::nullopt, 0, "Key 0"}));
}

TEST(TriggerKeyLoad, StoredCombinationsAreReturnedAsStored) {
  EXPECT_EQ(loadFrom({{"triggerKeyKind", "modifier"s},
                      {"triggerKeyModifier", "control"s},
                      {"triggerKeyCode", std::int64_t(61)},  // Right Option's key
                      {"triggerKeyDisplayName", "My key"s}}),
            (TriggerKey{Kind::modifier, Modifier::control, 61, "My key"}));
  EXPECT_EQ(
      loadFrom({{"triggerKeyKind", "keyCode"s}, {"triggerKeyCode", std::int64_t(65535)}}).keyCode,
      65535);
}

TEST(TriggerKeySave, EveryKindSurvivesARoundTripAndNoModifierIsLeftBehind) {
  FakePreferences p;
  TriggerKey{Kind::modifier, Modifier::option, 61, "Right Option"}.save(p);
  EXPECT_EQ(p.values, (Stored{{"triggerKeyKind", "modifier"s},
                              {"triggerKeyModifier", "option"s},
                              {"triggerKeyCode", std::int64_t(61)},
                              {"triggerKeyDisplayName", "Right Option"s}}));
  TriggerKey{Kind::keyCode, std::nullopt, 122, "F1"}.save(p);
  EXPECT_EQ(p.values, (Stored{{"triggerKeyKind", "keyCode"s},
                              {"triggerKeyCode", std::int64_t(122)},
                              {"triggerKeyDisplayName", "F1"s}}));

  for (const auto& key :
       {kControlEitherSide, TriggerKey{Kind::modifier, Modifier::function, 63, "Fn"},
        TriggerKey{Kind::keyCode, std::nullopt, 27, "SS"},
        TriggerKey{Kind::keyCode, std::nullopt, 65535, "Key 65535"}}) {
    key.save(p);
    EXPECT_EQ(TriggerKey::load(p), key) << key.displayName;
  }
}

KeyEvent flagsChanged(std::uint16_t code, std::uint64_t flags) {
  return {KeyEvent::Type::flagsChanged, code, flags, std::nullopt};
}

TEST(TriggerKeyCapture, APressedModifierIsCapturedWithItsSideAndAReleaseIsNot) {
  const struct {
    std::uint16_t code;
    Modifier modifier;
    const char* name;
  } sides[] = {
      {54, Modifier::command, "Right Command"}, {55, Modifier::command, "Left Command"},
      {56, Modifier::shift, "Left Shift"},      {58, Modifier::option, "Left Option"},
      {59, Modifier::control, "Left Control"},  {60, Modifier::shift, "Right Shift"},
      {61, Modifier::option, "Right Option"},   {62, Modifier::control, "Right Control"},
      {63, Modifier::function, "Fn"},
  };
  for (const auto& side : sides) {
    const auto others = 0x100 | flagMask(Modifier::control);  // other bits do not matter
    EXPECT_EQ(TriggerKey::captured(flagsChanged(side.code, others | flagMask(side.modifier))),
              (TriggerKey{Kind::modifier, side.modifier, side.code, side.name}));
    if (side.modifier != Modifier::control) {
      EXPECT_EQ(TriggerKey::captured(flagsChanged(side.code, others)), std::nullopt) << side.name;
    }
  }
  // Caps Lock, and keys outside the modifier table, never make a modifier trigger.
  for (const std::uint16_t code : {57, 53, 64}) {
    EXPECT_EQ(TriggerKey::captured(flagsChanged(code, 0xFFFFFF)), std::nullopt) << code;
    EXPECT_EQ(TriggerKey::captured(flagsChanged(code, 0)), std::nullopt) << code;
  }
}

TEST(TriggerKeyCapture, AnyPressedKeyIsCapturedWithAName) {
  const struct {
    std::uint16_t code;
    std::optional<std::string> characters;
    const char* name;
  } cases[] = {
      {0, "a", "A"},
      {27, "\u00df", "SS"},  // ß has a two-letter capital
      {41, "\u00e9", "\u00c9"},
      {122, "x", "F1"},  // special names win over characters
      {36, "\r", "Return"},
      {53, "\x1b", "Escape"},
      {126, std::nullopt, "Up Arrow"},
      {200, std::nullopt, "Key 200"},
      {35, "", "Key 35"},
      {127, std::nullopt, "Key 127"},  // just past the special names
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TriggerKey::captured({KeyEvent::Type::keyDown, c.code, 0, c.characters}),
              (TriggerKey{Kind::keyCode, std::nullopt, c.code, c.name}));
  }
  EXPECT_EQ(TriggerKey::captured({KeyEvent::Type::keyUp, 0, 0, "a"}), std::nullopt);
  EXPECT_EQ(TriggerKey::captured({KeyEvent::Type::other, 61, 0x80000, {}}), std::nullopt);
}

TEST(TriggerKeyValue, EveryFieldTakesPartInEquality) {
  const TriggerKey f5{Kind::keyCode, std::nullopt, 96, "F5"};
  EXPECT_EQ(f5, (TriggerKey{Kind::keyCode, std::nullopt, 96, "F5"}));
  EXPECT_NE(f5, (TriggerKey{Kind::keyCode, std::nullopt, 96, "Key 96"}));
  EXPECT_NE(f5, (TriggerKey{Kind::keyCode, Modifier::control, 96, "F5"}));
  EXPECT_NE(f5, (TriggerKey{Kind::modifier, std::nullopt, 96, "F5"}));
  EXPECT_NE(f5, (TriggerKey{Kind::keyCode, std::nullopt, 97, "F5"}));
}

}  // namespace
}  // namespace vellotype
