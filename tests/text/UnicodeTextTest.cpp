#include <gtest/gtest.h>

#include "text/UnicodeText.h"

namespace vellotype::text {
namespace {

TEST(UnicodeTextTrimming, RemovesEverySeparatorAndLineBreakAtTheEnds) {
  EXPECT_EQ(trimmingWhitespaceAndNewlines("  word \n"), "word");
  // tab, LF, VT, FF, CR, NEL, no-break space, ideographic space, line and paragraph separators
  EXPECT_EQ(trimmingWhitespaceAndNewlines(
                "\t\n\v\f\r\u0085\u00a0\u3000\u2028\u2029\u4f60\u597d \u2003\u2029"),
            "\u4f60\u597d");
  EXPECT_EQ(trimmingWhitespaceAndNewlines(" \u3000\n"), "");
  EXPECT_EQ(trimmingWhitespaceAndNewlines(""), "");
}

TEST(UnicodeTextTrimming, LeavesInnerAndNonSeparatorCharactersAlone) {
  EXPECT_EQ(trimmingWhitespaceAndNewlines(" a \n b "), "a \n b");
  // Zero-width space and a byte order mark are format characters, not white space.
  EXPECT_EQ(trimmingWhitespaceAndNewlines("\u200bx\ufeff"), "\u200bx\ufeff");
  // Ill-formed UTF-8 is kept as it is, never trimmed away.
  EXPECT_EQ(trimmingWhitespaceAndNewlines(" \xff\xfe "), "\xff\xfe");
  EXPECT_EQ(trimmingWhitespaceAndNewlines("a\xe3\x80"), "a\xe3\x80");
}

TEST(UnicodeTextCase, UsesTheFullUpperCaseMapping) {
  EXPECT_EQ(uppercased("a"), "A");
  EXPECT_EQ(uppercased("stra\u00dfe"), "STRASSE");
  EXPECT_EQ(uppercased("\ufb01"), "FI");  // the fi ligature
  EXPECT_EQ(uppercased("i"), "I");        // no Turkish dotted capital I
  EXPECT_EQ(uppercased("\u3042"), "\u3042");
}

TEST(UnicodeTextEquivalence, ComparesUnderCanonicalEquivalence) {
  EXPECT_TRUE(canonicallyEqual("caf\u00e9", "cafe\u0301"));
  EXPECT_TRUE(canonicallyEqual("\u212b", "\u00c5"));  // Angstrom sign and A with ring
  EXPECT_FALSE(canonicallyEqual("cafe", "caf\u00e9"));
  EXPECT_FALSE(canonicallyEqual("\ufb01", "fi"));  // compatibility is not enough
  EXPECT_FALSE(canonicallyEqual("a", "a "));
}

}  // namespace
}  // namespace vellotype::text
