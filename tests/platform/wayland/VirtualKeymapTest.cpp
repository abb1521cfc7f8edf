#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

#include "platform/wayland/VirtualKeymap.h"

namespace vellotype {
namespace {

// As a session whose layout is Russian says it to xkbcommon.
TEST(VirtualKeymap, TheVKeyTypesVWhateverTheUsersLayout) {
  setenv("XKB_DEFAULT_LAYOUT", "ru", 1);
  std::string error;
  const auto keymap = VirtualKeymap::compile(error);
  unsetenv("XKB_DEFAULT_LAYOUT");
  ASSERT_TRUE(keymap) << error;

  auto* context = xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES);
  auto* compiled = xkb_keymap_new_from_string(
      context, keymap->text().c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
  ASSERT_TRUE(compiled);
  auto* state = xkb_state_new(compiled);
  constexpr xkb_keycode_t kEvdevV = 47, kEvdevOffset = 8;
  EXPECT_EQ(xkb_state_key_get_one_sym(state, kEvdevV + kEvdevOffset), XKB_KEY_v);
  xkb_state_unref(state);
  xkb_keymap_unref(compiled);
  xkb_context_unref(context);
}

TEST(VirtualKeymap, EachFlagHoldsItsLeftHandKeyAndAddsItsModifier) {
  std::string error;
  const auto keymap = VirtualKeymap::compile(error);
  ASSERT_TRUE(keymap) << error;
  // Control, Shift, Option and Command, with Fn and Caps Lock, which hold nothing.
  const auto all = keymap->modifiers(0x40000 | 0x20000 | 0x80000 | 0x100000 | 0x800000 | 0x10000);
  // evdev: Left Control, Left Shift, Left Alt, Left Super; XKB: Control, Shift, Mod1, Mod4.
  EXPECT_EQ(all.evdevKeys, (std::vector<std::uint16_t>{29, 42, 56, 125}));
  EXPECT_EQ(all.depressedAfterEach, (std::vector<std::uint32_t>{0x4, 0x5, 0xD, 0x4D}));
  EXPECT_TRUE(keymap->modifiers(0).evdevKeys.empty());
}

}  // namespace
}  // namespace vellotype
