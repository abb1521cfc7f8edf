#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <chrono>

#include "ClipboardPeer.h"
#include "ClipboardTestData.h"
#include "RawSelectionOwner.h"
#include "platform/qt/QtPasteboard.h"

namespace vellotype::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string kText = "Grüße, 世界";
const std::string kHtml = "<p>Grüße</p>";
// In the order they are read: text, then markup, then the image.
const PasteboardContents kCopied{
    {{"text/plain", kText}, {"text/html", kHtml}, {"image/png", imageBytes(300 * 1024)}}};

class QtPasteboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsSet("VELLOTYPE_TEST_NO_X")) {
      GTEST_SKIP() << "no X server: " << qgetenv("VELLOTYPE_TEST_NO_X").toStdString();
    }
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::selectionChanged, &context_,
                     [this] { ++primaryChanges_; });
    // What an earlier test of this process left there.
    QGuiApplication::clipboard()->clear();
  }

  // Another client takes PRIMARY. Qt handles X events in order, so once it reports that, every
  // clipboard event sent to it before has been handled too.
  bool settle() {
    const int before = primaryChanges_;
    RawSelectionOwner primary(display(), {}, {}, "PRIMARY");
    return primary.owns() && QTest::qWaitFor([&] { return primaryChanges_ > before; }, 5000);
  }

  static std::string display() { return qgetenv("DISPLAY").toStdString(); }

  QtPasteboard pasteboard;

 private:
  QObject context_;
  int primaryChanges_ = 0;
};

TEST_F(QtPasteboardTest, AnotherApplicationsTextImageAndHtmlComeBackWholeAndReadBackTheSame) {
  ClipboardPeer peer;
  ASSERT_TRUE(peer.own(kCopied));
  // As a Qt application sees it, which adds application/x-qt-image of its own beside image/png.
  const auto seenBefore = ClipboardPeer::read();
  ASSERT_TRUE(seenBefore);
  const auto snapshot = pasteboard.contents();
  EXPECT_EQ(snapshot, kCopied);

  ASSERT_TRUE(settle());
  pasteboard.setContents(snapshot);
  EXPECT_EQ(ClipboardPeer::read(), seenBefore);
}

TEST_F(QtPasteboardTest, OwnTextIsReadInProcessAndServedToOthersAsPlainText) {
  pasteboard.setString(kText);
  // Read over X, the request would wait on this very thread and come back empty.
  EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{{"text/plain", kText}}}));
  EXPECT_EQ(ClipboardPeer::read(), (PasteboardContents{{{"text/plain", kText}}}));
}

TEST_F(QtPasteboardTest, ChangeCountGoesUpOnceForEachSetOursOrAnotherApplications) {
  const auto start = pasteboard.changeCount();
  pasteboard.setString("ours");
  EXPECT_EQ(pasteboard.changeCount(), start + 1);
  ASSERT_TRUE(settle());
  EXPECT_EQ(pasteboard.changeCount(), start + 1) << "our own set counted again through XFixes";

  ClipboardPeer peer;
  ASSERT_TRUE(peer.own({{{"text/plain", "theirs"}}}));
  ASSERT_TRUE(settle());
  EXPECT_EQ(pasteboard.changeCount(), start + 2);

  EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{{"text/plain", "theirs"}}}));
  pasteboard.setContents({{{"text/html", kHtml}}});
  ASSERT_TRUE(settle());
  EXPECT_EQ(pasteboard.changeCount(), start + 3) << "reading counted, or our set twice";
}

TEST_F(QtPasteboardTest, EmptyClipboardGivesNothingAndEmptyContentsLeaveOthersNothing) {
  EXPECT_EQ(pasteboard.contents(), PasteboardContents{});

  ClipboardPeer peer;
  ASSERT_TRUE(peer.own({{{"text/plain", "theirs"}}}));
  ASSERT_TRUE(settle());
  pasteboard.setContents({});
  EXPECT_EQ(pasteboard.contents(), PasteboardContents{});
  EXPECT_EQ(ClipboardPeer::read(), PasteboardContents{});
}

TEST_F(QtPasteboardTest, HungOwnerCostsTheBoundAndGivesNothing) {
  RawSelectionOwner hung(display(), {{"UTF8_STRING", kText}}, {"TARGETS"});
  ASSERT_TRUE(hung.owns());
  const auto started = Clock::now();
  EXPECT_EQ(pasteboard.contents(), PasteboardContents{});
  const auto took = Clock::now() - started;
  EXPECT_GE(took, QtPasteboard::kReadBound);
  EXPECT_LT(took, QtPasteboard::kReadBound + milliseconds(150));
}

TEST_F(QtPasteboardTest, OwnerThatHangsOnTheImageStillGivesItsTextWithinTheBound) {
  RawSelectionOwner owner(display(), {{"image/png", imageBytes(1000)}, {"UTF8_STRING", kText}},
                          {"image/png"});
  ASSERT_TRUE(owner.owns());
  const auto started = Clock::now();
  EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{{"text/plain", kText}}}));
  EXPECT_LT(Clock::now() - started, QtPasteboard::kReadBound + milliseconds(150));
}

}  // namespace
}  // namespace vellotype::testing
