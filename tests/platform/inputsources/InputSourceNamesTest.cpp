#include <gtest/gtest.h>

#include "platform/fcitx/Fcitx5InputSources.h"
#include "platform/ibus/IBusInputSources.h"

namespace vellotype {
namespace {

TEST(IBusEngineNames, KeyboardLayoutEnginesNameLayoutAndVariant) {
  EXPECT_EQ(IBusInputSources::layoutOf("xkb:us::eng"), (KeyboardLayout{"us", ""}));
  EXPECT_EQ(IBusInputSources::layoutOf("xkb:de:nodeadkeys:ger"),
            (KeyboardLayout{"de", "nodeadkeys"}));
  EXPECT_EQ(IBusInputSources::layoutOf("xkb:ru::rus"), (KeyboardLayout{"ru", ""}));
}

TEST(IBusEngineNames, InputMethodsHaveNoLayoutOfTheirOwn) {
  for (const char* engine :
       {"pinyin", "libpinyin", "m17n:ru:kbd", "anthy", "xkb:", "xkb::eng", ""}) {
    EXPECT_EQ(IBusInputSources::layoutOf(engine), std::nullopt) << engine;
  }
}

TEST(Fcitx5InputMethodNames, KeyboardInputMethodsNameLayoutAndVariant) {
  EXPECT_EQ(Fcitx5InputSources::layoutOf("keyboard-us"), (KeyboardLayout{"us", ""}));
  EXPECT_EQ(Fcitx5InputSources::layoutOf("keyboard-de-nodeadkeys"),
            (KeyboardLayout{"de", "nodeadkeys"}));
  EXPECT_EQ(Fcitx5InputSources::layoutOf("keyboard-us-alt-intl"),
            (KeyboardLayout{"us", "alt-intl"}));
}

TEST(Fcitx5InputMethodNames, InputMethodsHaveNoLayoutOfTheirOwn) {
  for (const char* inputMethod : {"pinyin", "mozc", "keyboard", "keyboard-", "keyboard--x", ""}) {
    EXPECT_EQ(Fcitx5InputSources::layoutOf(inputMethod), std::nullopt) << inputMethod;
  }
}

}  // namespace
}  // namespace vellotype
