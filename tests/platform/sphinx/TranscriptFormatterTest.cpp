#include <gtest/gtest.h>

#include "platform/sphinx/TranscriptFormatter.h"

namespace vellotype {
namespace {

TEST(TranscriptFormatter, WithoutPunctuationTheHypothesisIsUntouched) {
  const TranscriptFormatter english("en-US");
  EXPECT_EQ(english.format("i think i'm here", false, true), "i think i'm here");
  EXPECT_EQ(english.format("", false, true), "");
}

TEST(TranscriptFormatter, EnglishGetsCapitalsAndFinalResultsAFullStop) {
  const TranscriptFormatter english("en-US");
  EXPECT_EQ(english.format("so i think i'm right", true, true), "So I think I'm right.");
  EXPECT_EQ(english.format("so i think i'm right", true, false), "So I think I'm right");
  EXPECT_EQ(english.format("i", true, true), "I.");
  EXPECT_EQ(english.format("hi it is in india i", true, false), "Hi it is in india I");
  EXPECT_EQ(english.format("", true, true), "") << "no lone full stop for silence";
  EXPECT_EQ(TranscriptFormatter("en_GB").format("and i", true, false), "And I");
}

TEST(TranscriptFormatter, OtherLanguagesGetOnlyTheFirstLetterInAnyScript) {
  EXPECT_EQ(TranscriptFormatter("it-IT").format("i ragazzi", true, true), "I ragazzi.");
  EXPECT_EQ(TranscriptFormatter("it-IT").format("e i ragazzi", true, true), "E i ragazzi.");
  EXPECT_EQ(TranscriptFormatter("fr-FR").format("été chaud", true, false), "Été chaud");
  EXPECT_EQ(TranscriptFormatter("ru-RU").format("привет", true, true), "Привет.");
}

}  // namespace
}  // namespace vellotype
