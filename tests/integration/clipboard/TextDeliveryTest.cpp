// Text delivery as the program does it: the real injector puts the text on the clipboard and
// types the paste keystroke into a real editor in another process, then gives the user's
// clipboard back.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include "ClipboardPeer.h"
#include "insertion/TextInjector.h"
#include "platform/none/NoInputSources.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/X11KeyboardEvents.h"

namespace vellotype::testing {
namespace {

constexpr int kTimeoutMs = 10000;

// A text with what pasting tends to get wrong: characters outside ASCII and outside the basic
// plane, a line break, both kinds of quotes.
const std::string kTranscript = "\u4f60\u597d world \U0001F389 \"quoted\" 'single'\nsecond line";

class TextDeliveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsSet("VELLOTYPE_TEST_NO_X")) {
      GTEST_SKIP() << "no X server: " << qgetenv("VELLOTYPE_TEST_NO_X").toStdString();
    }
    editor_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    editor_.start(VELLOTYPE_TEST_EDITOR, QStringList());
    ASSERT_TRUE(waitForLine("ready")) << "the editor did not get the focus";
  }

  void TearDown() override {
    editor_.kill();
    editor_.waitForFinished(kTimeoutMs);
  }

  // Runs the event loop until the editor prints `line` (its text, hex-encoded, or "ready").
  bool waitForLine(const QByteArray& line) {
    return QTest::qWaitFor(
        [&] {
          while (editor_.canReadLine()) {
            if (editor_.readLine().trimmed() == line) return true;
          }
          return false;
        },
        kTimeoutMs);
  }

  bool editorShows(const std::string& text) {
    return waitForLine(QByteArray::fromStdString(text).toHex());
  }

  QProcess editor_;
  QtMainQueue queue_;
  QtPasteboard pasteboard_;
  X11EventTap tap_;
  X11KeyboardEvents keyboard_{tap_};
  NoInputSources inputSources_;
  std::shared_ptr<TextInjector> injector_ =
      std::make_shared<TextInjector>(pasteboard_, inputSources_, keyboard_, queue_);
};

TEST_F(TextDeliveryTest, TheEditorGetsTheTextExactlyAndTheClipboardComesBackWhole) {
  const PasteboardContents earlier{
      {{"text/plain", "copied earlier"}, {"image/png", std::string("\x89PNG\r\n\x1a\nimage", 13)}}};
  ClipboardPeer owner;
  ASSERT_TRUE(owner.own(earlier));

  injector_->inject(kTranscript);
  EXPECT_TRUE(editorShows(kTranscript));

  QTest::qWait(600);  // past the restore
  const auto after = ClipboardPeer::read();
  ASSERT_TRUE(after);
  const auto has = [&](const std::string& format, const std::string& bytes) {
    for (const auto& item : after->items) {
      if (item.first == format) return item.second == bytes;
    }
    return false;
  };
  EXPECT_TRUE(has("text/plain", "copied earlier"));
  EXPECT_TRUE(has("image/png", earlier.items[1].second));
}

TEST_F(TextDeliveryTest, ACopyMadeBeforeTheRestoreIsLeftAlone) {
  ClipboardPeer before;
  ASSERT_TRUE(before.own({{{"text/plain", "copied earlier"}}}));
  injector_->inject("hello");
  ASSERT_TRUE(editorShows("hello"));

  ClipboardPeer meanwhile;
  ASSERT_TRUE(meanwhile.own({{{"text/plain", "copied meanwhile"}}}));
  QTest::qWait(600);
  const auto after = ClipboardPeer::read();
  ASSERT_TRUE(after);
  EXPECT_EQ(after->items.at(0).second, "copied meanwhile");
}

}  // namespace
}  // namespace vellotype::testing
