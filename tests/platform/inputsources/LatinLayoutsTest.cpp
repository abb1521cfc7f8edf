#include <gtest/gtest.h>

#include "platform/inputsources/LatinLayouts.h"

namespace vellotype {
namespace {

void expectLatin(LatinLayouts& layouts, bool latin,
                 std::initializer_list<KeyboardLayout> keyboardLayouts) {
  for (const auto& layout : keyboardLayouts) {
    EXPECT_EQ(layouts.typesLatinLetters(layout), latin)
        << layout.layout << "(" << layout.variant << ")";
  }
}

TEST(LatinLayouts, LayoutsThatOnlyMoveLettersTypeLatin) {
  LatinLayouts layouts;
  expectLatin(layouts, true,
              {{"us", ""},
               {"de", ""},
               {"fr", ""},
               {"us", "dvorak"},
               {"fr", "bepo"},
               {"tr", ""},
               {"vn", ""},
               {"jp", ""},
               {"cz", ""}});
}

TEST(LatinLayouts, OtherScriptsDoNot) {
  LatinLayouts layouts;
  expectLatin(
      layouts, false,
      {{"ru", ""}, {"ua", ""}, {"gr", ""}, {"il", ""}, {"ara", ""}, {"th", ""}, {"ge", ""}});
}

TEST(LatinLayouts, TheVariantDecidesAsMuchAsTheLayout) {
  LatinLayouts layouts;
  expectLatin(layouts, true, {{"rs", "latin"}, {"in", "eng"}});
  expectLatin(layouts, false, {{"rs", ""}, {"in", ""}, {"us", "rus"}, {"de", "ru"}});
  // Asked again, from what it learnt the first time.
  expectLatin(layouts, true, {{"rs", "latin"}});
  expectLatin(layouts, false, {{"rs", ""}});
}

TEST(LatinLayouts, WhatTheKeyboardDataDoesNotKnowIsNotLatin) {
  LatinLayouts layouts;
  EXPECT_FALSE(layouts.typesLatinLetters(std::nullopt));
  expectLatin(layouts, false, {{"", ""}, {"nosuchlayout", ""}, {"us", "nosuchvariant"}});
}

}  // namespace
}  // namespace vellotype
