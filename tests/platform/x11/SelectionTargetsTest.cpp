#include <gtest/gtest.h>

#include "platform/x11/SelectionTargets.h"

namespace vellotype {
namespace {

// Images come last, PNG first, because they are the slow, bulky ones to give up when time runs
// out; targets that cannot come back the same (protocol ones, server resources, other
// encodings of text) are not read.
TEST(SelectionTargets, PlainTextFirstThenSmallFormatsThenImagesWithPngFirst) {
  const std::vector<std::string> offered = {
      "TIMESTAMP",   "image/bmp", "STRING",
      "image/png",   "PIXMAP",    "text/html",
      "UTF8_STRING", "TEXT",      "text/plain;charset=ISO-8859-1",
      "TARGETS"};
  EXPECT_EQ(SelectionTargets::readingOrder(offered),
            (std::vector<SelectionTargets::Format>{{"text/plain", {"UTF8_STRING", "STRING"}},
                                                   {"text/html", {"text/html"}},
                                                   {"image/png", {"image/png"}},
                                                   {"image/bmp", {"image/bmp"}}}));
  EXPECT_TRUE(SelectionTargets::readingOrder({"TARGETS", "COMPOUND_TEXT"}).empty());
}

}  // namespace
}  // namespace vellotype
