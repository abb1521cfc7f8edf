#include <gtest/gtest.h>

#include "platform/keyboard/wayland/VirtualKeymap.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

TEST(VirtualKeymap, EachFlagHoldsItsLeftHandKeyAndAddsItsModifier) {
  std::string error;
  const auto keymap = VirtualKeymap::compile("us", error);
  ASSERT_TRUE(keymap) << error;
  // Control, Shift, Option and Command, with Fn and Caps Lock, which hold nothing.
  const auto all = keymap->modifiers(modifiers::kControl | modifiers::kShift | modifiers::kOption |
                                     modifiers::kCommand | modifiers::kFunction | 0x10000);
  // evdev: Left Control, Left Shift, Left Alt, Left Super; XKB: Control, Shift, Mod1, Mod4.
  EXPECT_EQ(all.evdevKeys, (std::vector<std::uint16_t>{29, 42, 56, 125}));
  EXPECT_EQ(all.depressedAfterEach, (std::vector<std::uint32_t>{0x4, 0x5, 0xD, 0x4D}));
  EXPECT_TRUE(keymap->modifiers(0).evdevKeys.empty());
}

}  // namespace
}  // namespace vellotype
