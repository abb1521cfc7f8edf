#include <gtest/gtest.h>

#include "platform/x11/SelectionTargets.h"

namespace vellotype {
namespace {

using Format = SelectionTargets::Format;

TEST(SelectionTargetsMimeType, TextTargetsBecomePlainTextAndOtherMimeTypesKeepTheirNames) {
  for (const char* text : {"UTF8_STRING", "STRING", "text/plain", "text/plain;charset=utf-8"}) {
    EXPECT_EQ(SelectionTargets::mimeType(text), "text/plain") << text;
  }
  for (const char* kept : {"image/png", "text/html", "text/uri-list",
                           "x-special/gnome-copied-files", "application/x-qt-image"}) {
    EXPECT_EQ(SelectionTargets::mimeType(kept), kept);
  }
}

TEST(SelectionTargetsMimeType, TargetsThatCannotComeBackTheSameAreLeftOut) {
  for (const char* left :
       {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION", "PIXMAP",
        "TEXT", "COMPOUND_TEXT", "text/plain;charset=ISO-8859-1", "text/x-moz-url", ""}) {
    EXPECT_EQ(SelectionTargets::mimeType(left), std::nullopt) << left;
  }
}

// As a GTK image viewer offers a copied picture with its file name.
TEST(SelectionTargetsReadingOrder, PlainTextFirstThenSmallFormatsThenImagesWithPngFirst) {
  const std::vector<std::string> offered = {"TIMESTAMP",
                                            "TARGETS",
                                            "MULTIPLE",
                                            "image/bmp",
                                            "STRING",
                                            "image/png",
                                            "text/html",
                                            "SAVE_TARGETS",
                                            "text/plain",
                                            "UTF8_STRING",
                                            "x-special/gnome-copied-files",
                                            "image/jpeg",
                                            "text/plain;charset=utf-8",
                                            "TEXT",
                                            "text/html",
                                            "DELETE"};
  EXPECT_EQ(SelectionTargets::readingOrder(offered),
            (std::vector<Format>{
                {"text/plain", {"UTF8_STRING", "text/plain;charset=utf-8", "text/plain", "STRING"}},
                {"text/html", {"text/html"}},
                {"x-special/gnome-copied-files", {"x-special/gnome-copied-files"}},
                {"image/png", {"image/png"}},
                {"image/bmp", {"image/bmp"}},
                {"image/jpeg", {"image/jpeg"}}}));
}

TEST(SelectionTargetsReadingOrder, NothingWorthReadingGivesNoFormats) {
  EXPECT_TRUE(SelectionTargets::readingOrder({}).empty());
  EXPECT_TRUE(SelectionTargets::readingOrder({"TARGETS", "TIMESTAMP", "COMPOUND_TEXT"}).empty());
}

TEST(SelectionTargetsConverted, Latin1StringBecomesUtf8AndEverythingElseStaysAsItIs) {
  EXPECT_EQ(SelectionTargets::converted("STRING", "caf\xE9 \xA0\xFF!"), "café \u00A0ÿ!");
  const std::string utf8 = "café";
  EXPECT_EQ(SelectionTargets::converted("UTF8_STRING", utf8), utf8);
  const std::string binary("\x89PNG\0\xFF", 6);
  EXPECT_EQ(SelectionTargets::converted("image/png", binary), binary);
}

}  // namespace
}  // namespace vellotype
