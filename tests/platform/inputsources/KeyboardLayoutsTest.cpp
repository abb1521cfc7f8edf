#include <gtest/gtest.h>

#include "platform/inputsources/LatinLayouts.h"
#include "platform/inputsources/fcitx/Fcitx5InputSources.h"
#include "platform/inputsources/ibus/IBusInputSources.h"

namespace vellotype {
namespace {

TEST(InputSourceNames, KeyboardLayoutSourcesNameLayoutAndVariantInputMethodsNothing) {
  EXPECT_EQ(IBusInputSources::layoutOf("xkb:de:nodeadkeys:ger"),
            (KeyboardLayout{"de", "nodeadkeys"}));
  EXPECT_EQ(Fcitx5InputSources::layoutOf("keyboard-us-alt-intl"),
            (KeyboardLayout{"us", "alt-intl"}));
  for (const char* name :
       {"pinyin", "m17n:ru:kbd", "xkb:", "xkb::eng", "keyboard-", "keyboard--x"}) {
    EXPECT_EQ(IBusInputSources::layoutOf(name), std::nullopt) << name;
    EXPECT_EQ(Fcitx5InputSources::layoutOf(name), std::nullopt) << name;
  }
}

// Judged from the system's keyboard data: layouts that only move letters type Latin.
TEST(LatinLayouts, TheLayoutAndItsVariantDecideAndUnknownOnesAreNotLatin) {
  const std::vector<std::pair<KeyboardLayout, bool>> cases = {
      {{"us", "dvorak"}, true}, {{"rs", "latin"}, true}, {{"rs", ""}, false},
      {{"us", "rus"}, false},   {{"ara", ""}, false},    {{"nosuchlayout", ""}, false}};
  LatinLayouts layouts;
  for (int round = 0; round < 2; ++round) {  // the second time from what it learnt the first
    for (const auto& [layout, latin] : cases) {
      EXPECT_EQ(layouts.typesLatinLetters(layout), latin)
          << layout.layout << "(" << layout.variant << ")";
    }
  }
  EXPECT_FALSE(layouts.typesLatinLetters(std::nullopt));
}

}  // namespace
}  // namespace vellotype
