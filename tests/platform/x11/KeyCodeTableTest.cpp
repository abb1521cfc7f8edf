#include <gtest/gtest.h>

#include <set>

#include "platform/x11/KeyCodeTable.h"

namespace vellotype {
namespace {

using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;

TEST(KeyCodeTable, EveryLinuxKeyHasExactlyOneCodeThatLeadsBack) {
  std::set<std::uint16_t> evdevSeen, macSeen;
  for (const auto& entry : KeyCodeTable::entries()) {
    EXPECT_TRUE(evdevSeen.insert(entry.evdev).second) << "evdev " << entry.evdev << " twice";
    EXPECT_TRUE(macSeen.insert(entry.macKeyCode).second) << "kVK " << entry.macKeyCode << " twice";
    EXPECT_LT(entry.macKeyCode, 0x80);
  }
  for (std::uint16_t evdev = 1; evdev <= KeyCodeTable::kMaxEvdev; ++evdev) {
    const auto mac = KeyCodeTable::macKeyCode(evdev);
    ASSERT_TRUE(mac) << evdev;
    EXPECT_EQ(KeyCodeTable::evdevCode(*mac), evdev);
    if (evdevSeen.count(evdev)) {
      EXPECT_EQ(KeyCodeTable::evdevCode(KeyCodeTable::kUnmappedBase + evdev), std::nullopt);
    }
  }
  EXPECT_EQ(KeyCodeTable::macKeyCode(0), std::nullopt);
  EXPECT_EQ(KeyCodeTable::macKeyCode(KeyCodeTable::kMaxEvdev + 1), std::nullopt);
  EXPECT_EQ(KeyCodeTable::evdevCode(0x3F), std::nullopt) << "Fn";
}

// Checked against the names the trigger key gives macOS codes, which were written separately.
TEST(KeyCodeTable, NamedKeysAndModifierSidesMatchTheTriggerKeyNames) {
  std::vector<std::pair<std::uint16_t, std::string>> cases = {
      {29, "Left Control"}, {97, "Right Control"}, {42, "Left Shift"},    {54, "Right Shift"},
      {56, "Left Option"},  {100, "Right Option"}, {125, "Left Command"}, {126, "Right Command"},
      {28, "Return"},       {15, "Tab"},           {57, "Space"},         {14, "Delete"},
      {1, "Escape"},        {105, "Left Arrow"},   {106, "Right Arrow"},  {108, "Down Arrow"},
      {103, "Up Arrow"}};
  const std::uint16_t functionKeys[] = {59, 60, 61, 62, 63,  64,  65,  66,
                                        67, 68, 87, 88, 183, 184, 185, 186};
  for (int i = 0; i < 16; ++i) cases.push_back({functionKeys[i], "F" + std::to_string(i + 1)});

  for (const auto& [evdev, name] : cases) {
    const auto mac = *KeyCodeTable::macKeyCode(evdev);
    KeyEvent event;
    event.keyCode = mac;
    event.type =
        KeyCodeTable::isModifier(mac) ? KeyEvent::Type::flagsChanged : KeyEvent::Type::keyDown;
    event.modifierFlags = KeyCodeTable::modifierFlag(mac);
    const auto captured = TriggerKey::captured(event);
    ASSERT_TRUE(captured) << name;
    EXPECT_EQ(captured->displayName, name) << "evdev " << evdev;
  }
}

TEST(KeyCodeTable, KeysWithoutNamesAndKeysThatSetNoFlag) {
  const std::vector<std::pair<std::uint16_t, std::uint16_t>> cases = {
      {111, 0x75}, {110, 0x72}, {127, 0x6E}, {86, 0x0A},   {46, 0x08},
      {190, 0x5A}, {96, 0x4C},  {124, 0x5D}, {119, 0x277},  // Pause has no macOS key
  };
  for (const auto& [evdev, mac] : cases) EXPECT_EQ(KeyCodeTable::macKeyCode(evdev), mac) << evdev;

  EXPECT_TRUE(KeyCodeTable::isModifier(0x39));  // Caps Lock
  EXPECT_EQ(KeyCodeTable::modifierFlag(0x39), 0u);
  EXPECT_EQ(KeyCodeTable::modifierFlag(0x3F), 0x800000u);
  EXPECT_FALSE(KeyCodeTable::isModifier(0x08));
  EXPECT_EQ(KeyCodeTable::modifierFlag(0x08), 0u);
}

TEST(KeyCodeTable, TriggerKeysAreHeldByTheirPhysicalKeys) {
  const std::vector<std::pair<TriggerKey, std::vector<std::uint16_t>>> cases = {
      {{Kind::modifier, Modifier::control, 0, ""}, {29, 97}},
      {{Kind::modifier, Modifier::shift, 0, ""}, {42, 54}},
      {{Kind::modifier, Modifier::option, 0, ""}, {56, 100}},
      {{Kind::modifier, Modifier::command, 0, ""}, {125, 126}},
      {{Kind::modifier, Modifier::function, 0, ""}, {}},
      {{Kind::modifier, Modifier::option, 61, ""}, {100}},
      {{Kind::modifier, Modifier::function, 63, ""}, {}},
      {{Kind::keyCode, std::nullopt, 96, ""}, {63}},
      {{Kind::keyCode, std::nullopt, 0, ""}, {30}},  // A is code 0
      {{Kind::keyCode, std::nullopt, 0x277, ""}, {119}},
  };
  for (const auto& [trigger, evdevCodes] : cases) {
    EXPECT_EQ(KeyCodeTable::evdevCodes(trigger), evdevCodes)
        << rawValue(trigger.kind) << " " << trigger.keyCode;
  }
}

}  // namespace
}  // namespace vellotype
