#include <gtest/gtest.h>

#include <set>

#include "platform/keyboard/KeyCodeTable.h"

namespace vellotype {
namespace {

using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;

// A stored trigger key must lead back to the one physical key it was recorded from.
TEST(KeyCodeTable, EveryLinuxKeyHasExactlyOneCodeThatLeadsBack) {
  std::set<std::uint16_t> evdevSeen, macSeen;
  for (const auto& entry : KeyCodeTable::entries()) {
    EXPECT_TRUE(evdevSeen.insert(entry.evdev).second) << "evdev " << entry.evdev << " twice";
    EXPECT_TRUE(macSeen.insert(entry.macKeyCode).second) << "kVK " << entry.macKeyCode << " twice";
    EXPECT_LT(entry.macKeyCode, 0x80);
    EXPECT_EQ(KeyCodeTable::evdevCode(KeyCodeTable::kUnmappedBase + entry.evdev), std::nullopt);
  }
  for (std::uint16_t evdev = 1; evdev <= KeyCodeTable::kMaxEvdev; ++evdev) {
    const auto mac = KeyCodeTable::macKeyCode(evdev);
    ASSERT_TRUE(mac) << evdev;
    EXPECT_EQ(KeyCodeTable::evdevCode(*mac), evdev);
  }
  EXPECT_EQ(KeyCodeTable::macKeyCode(0), std::nullopt);
  EXPECT_EQ(KeyCodeTable::macKeyCode(KeyCodeTable::kMaxEvdev + 1), std::nullopt);
  EXPECT_EQ(KeyCodeTable::evdevCode(0x3F), std::nullopt) << "Fn";
  EXPECT_EQ(KeyCodeTable::macKeyCode(86), 0x0A) << "the ISO key left of Z";
  EXPECT_EQ(KeyCodeTable::modifierFlag(0x39), 0u) << "Caps Lock";
}

TEST(KeyCodeTable, TriggerKeysAreHeldByTheirPhysicalKeys) {
  using Codes = std::vector<std::uint16_t>;
  EXPECT_EQ(KeyCodeTable::evdevCodes({Kind::modifier, Modifier::control, 0, ""}), (Codes{29, 97}));
  EXPECT_EQ(KeyCodeTable::evdevCodes({Kind::modifier, Modifier::function, 0, ""}), Codes{});
  EXPECT_EQ(KeyCodeTable::evdevCodes({Kind::keyCode, std::nullopt, 0, ""}), Codes{30}) << "A is 0";
  EXPECT_EQ(KeyCodeTable::evdevCodes({Kind::keyCode, std::nullopt, 0x277, ""}), Codes{119});
}

}  // namespace
}  // namespace vellotype
