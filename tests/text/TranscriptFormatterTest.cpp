#include <gtest/gtest.h>

#include "text/TranscriptFormatter.h"

namespace vellotype {
namespace {

// English punctuation of real results is covered with the recogniser; these are the rules it
// rarely meets: "i" inside words and other scripts, where the first letter is more than a byte.
TEST(TranscriptFormatter, EnglishCapitalisesIAndOtherLanguagesOnlyTheFirstLetterInAnyScript) {
  EXPECT_EQ(TranscriptFormatter("en_GB").format("so i think i'm in india", true, true),
            "So I think I'm in india.");
  EXPECT_EQ(TranscriptFormatter("it-IT").format("e i ragazzi", true, true), "E i ragazzi.");
  EXPECT_EQ(TranscriptFormatter("fr-FR").format("été chaud", true, false), "Été chaud");
  EXPECT_EQ(TranscriptFormatter("ru-RU").format("привет", true, true), "Привет.");
  EXPECT_EQ(TranscriptFormatter("enx").format("i", true, true), "I.") << "not English";
}

// A transcription service punctuates its own replies.
TEST(TranscriptFormatter, AFinalThatEndsASentenceGetsNoSecondStopAndCJKGetsItsOwn) {
  const TranscriptFormatter english("en-US");
  EXPECT_EQ(english.format("Is it done?", true, true), "Is it done?");
  EXPECT_EQ(english.format("he said \"stop.\"", true, true), "He said \"stop.\"");
  EXPECT_EQ(english.format("three dots\u2026", true, true), "Three dots\u2026");
  EXPECT_EQ(english.format("one, two", true, true), "One, two.");
  EXPECT_EQ(TranscriptFormatter("zh-CN").format("\u4f60\u597d", true, true), "\u4f60\u597d\u3002");
  EXPECT_EQ(TranscriptFormatter("ja-JP").format("\u306f\u3044\uff01", true, true),
            "\u306f\u3044\uff01");
  EXPECT_EQ(TranscriptFormatter("zh-TW").format("\u300c\u597d\u3002\u300d", true, true),
            "\u300c\u597d\u3002\u300d");
  EXPECT_EQ(TranscriptFormatter("ko-KR").format("\uc548\ub155", true, true), "\uc548\ub155.");
}

}  // namespace
}  // namespace vellotype
