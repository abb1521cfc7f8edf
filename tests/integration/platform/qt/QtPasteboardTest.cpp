#include <gtest/gtest.h>

#include <QGuiApplication>
#include <chrono>

#include "ClipboardTestData.h"
#include "RawSelectionOwner.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/x11/X11SelectionReader.h"

namespace vellotype::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kText = "Grüße, 世界";

class QtPasteboardTest : public ::testing::Test {
 protected:
  void SetUp() override { VELLOTYPE_SKIP_WITHOUT_X(); }

  QtPasteboard pasteboard;
};

TEST_F(QtPasteboardTest, OwnTextIsReadInProcessAndServedToOthersAsPlainText) {
  pasteboard.setString(kText);
  // Read over X, the request would wait on this very thread and come back empty.
  EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{{"text/plain", kText}}}));
  EXPECT_EQ(readAsAnotherClient(), (PasteboardContents{{{"text/plain", kText}}}));

  pasteboard.setContents({});
  EXPECT_EQ(pasteboard.contents(), PasteboardContents{});
  EXPECT_EQ(readAsAnotherClient(), PasteboardContents{}) << "nothing left for others either";
}

TEST_F(QtPasteboardTest, HungOwnerCostsTheBoundAndGivesNothing) {
  RawSelectionOwner hung(display(), {{"UTF8_STRING", kText}}, "TARGETS");
  const auto started = Clock::now();
  EXPECT_EQ(pasteboard.contents(), PasteboardContents{});
  const auto took = Clock::now() - started;
  EXPECT_GE(took, QtPasteboard::kReadBound);
  EXPECT_LT(took, QtPasteboard::kReadBound + milliseconds(150));
}

TEST_F(QtPasteboardTest, OwnerThatHangsOnTheImageStillGivesItsTextWithinTheBound) {
  RawSelectionOwner owner(display(), {{"image/png", imageBytes(1000)}, {"UTF8_STRING", kText}},
                          "image/png");
  const auto started = Clock::now();
  EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{{"text/plain", kText}}}));
  EXPECT_LT(Clock::now() - started, QtPasteboard::kReadBound + milliseconds(150));
}

TEST_F(QtPasteboardTest, LargeFormatsArriveWholeInIncrChunksUnlessOverTheSizeLimit) {
  const auto png = imageBytes(2 * 1024 * 1024), bmp = imageBytes(600 * 1024 + 123);
  RawSelectionOwner owner(display(),
                          {{"image/png", png}, {"image/bmp", bmp}, {"UTF8_STRING", "caption"}});
  EXPECT_EQ(X11SelectionReader(display(), 1024 * 1024).read(Clock::now() + std::chrono::seconds(5)),
            (PasteboardContents{{{"text/plain", "caption"}, {"image/bmp", bmp}}}));
}

}  // namespace
}  // namespace vellotype::testing
