// Text delivery as the program does it: the real injector puts the text on the clipboard and
// types the paste keystroke into a real editor in another process, then gives the user's
// clipboard back.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QProcess>
#include <QTest>

#include "ClipboardTestData.h"
#include "RawSelectionOwner.h"
#include "insertion/TextInjector.h"
#include "platform/inputsources/none/NoInputSources.h"
#include "platform/keyboard/x11/X11EventTap.h"
#include "platform/keyboard/x11/X11KeyboardEvents.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QtPasteboard.h"

namespace vellotype::testing {
namespace {

constexpr int kTimeoutMs = 10000;

class TextDeliveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VELLOTYPE_SKIP_WITHOUT_X();
    editor_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    editor_.start(VELLOTYPE_TEST_EDITOR, QStringList());
    ASSERT_TRUE(editorPrints("ready")) << "the editor did not get the focus";
  }

  void TearDown() override {
    editor_.kill();
    editor_.waitForFinished(kTimeoutMs);
  }

  // Runs the event loop until the editor prints `line`: "ready", or its text hex-encoded.
  bool editorPrints(const QByteArray& line) {
    return QTest::qWaitFor(
        [&] {
          while (editor_.canReadLine()) {
            if (editor_.readLine().trimmed() == line) return true;
          }
          return false;
        },
        kTimeoutMs);
  }
  // Another application copies, and the program notices, as it would long before a dictation
  // ends: until it has, its own next set may carry an older time than the copy, and X ignores it.
  std::unique_ptr<RawSelectionOwner> copy(RawSelectionOwner::Targets targets) {
    const auto changes = pasteboard_.changeCount();
    auto owner = std::make_unique<RawSelectionOwner>(display(), std::move(targets));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasteboard_.changeCount() > changes; }));
    return owner;
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
  const PasteboardContents copied{{{"text/plain", "copied earlier"},
                                   {"text/html", "<p>Grüße</p>"},
                                   {"image/png", imageBytes(300 * 1024)}}};
  const auto owner = copy({{"UTF8_STRING", copied.items[0].second},
                           {"text/html", copied.items[1].second},
                           {"image/png", copied.items[2].second}});

  // What pasting tends to get wrong: characters outside ASCII and outside the basic plane, a
  // line break, both kinds of quotes.
  const std::string transcript = "你好 world 🎉 \"quoted\" 'single'\nsecond line";
  injector_->inject(transcript);
  EXPECT_TRUE(editorPrints(QByteArray::fromStdString(transcript).toHex()));
  QTest::qWait(600);  // past the restore
  EXPECT_EQ(readAsAnotherClient(), copied);
}

// A paste the editor takes gives the clipboard back; one nobody takes leaves the words there.
TEST_F(TextDeliveryTest, TextNobodyPastesStaysOnTheClipboardAndIsReported) {
  const auto before = copy({{"UTF8_STRING", "copied earlier"}});
  int notPasted = 0;
  injector_->onNotPasted = [&] { ++notPasted; };
  injector_->inject("pasted");
  ASSERT_TRUE(editorPrints(QByteArray("pasted").toHex()));
  QTest::qWait(600);
  EXPECT_EQ(readAsAnotherClient(), (PasteboardContents{{{"text/plain", "copied earlier"}}}));
  EXPECT_EQ(notPasted, 0);

  // No window has the keyboard: the keystroke goes nowhere, as on an empty desktop.
  auto* x = xcb_connect(display().c_str(), nullptr);
  xcb_set_input_focus(x, XCB_INPUT_FOCUS_NONE, XCB_NONE, XCB_CURRENT_TIME);
  std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
  injector_->inject("not taken");
  QTest::qWait(600);
  xcb_disconnect(x);
  EXPECT_EQ(readAsAnotherClient(), (PasteboardContents{{{"text/plain", "not taken"}}}));
  EXPECT_EQ(notPasted, 1);
}

TEST_F(TextDeliveryTest, ACopyMadeBeforeTheRestoreIsLeftAlone) {
  const auto before = copy({{"UTF8_STRING", "copied earlier"}});
  injector_->inject("hello");
  ASSERT_TRUE(editorPrints(QByteArray("hello").toHex()));

  const auto meanwhile = copy({{"UTF8_STRING", "copied meanwhile"}});
  QTest::qWait(600);
  EXPECT_EQ(readAsAnotherClient(), (PasteboardContents{{{"text/plain", "copied meanwhile"}}}));
}

}  // namespace
}  // namespace vellotype::testing
