#include <gtest/gtest.h>

#include "platform/sphinx/TranscriptFormatter.h"

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
}

}  // namespace
}  // namespace vellotype
