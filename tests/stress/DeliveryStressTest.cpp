// A thousand deliveries into a real editor while the clipboard holds text, an image or several
// formats in turn: each text arrives once and whole, and the clipboard is given back every time.
// The injector's delays run at 0.4 of their length so that the run takes minutes, not ten.

#include <gtest/gtest.h>

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

constexpr int kDeliveries = 1000;
constexpr int kTimeoutMs = 10000;

// The program's main queue with every delay shortened by the same factor.
class QuickerMainQueue : public MainQueue {
 public:
  QuickerMainQueue(MainQueue& queue, double factor) : queue_(queue), factor_(factor) {}
  void post(Task task) override { queue_.post(std::move(task)); }
  void postAfter(double seconds, Task task) override {
    queue_.postAfter(seconds * factor_, std::move(task));
  }
  void blockFor(double seconds) override { queue_.blockFor(seconds * factor_); }

 private:
  MainQueue& queue_;
  double factor_;
};

TEST(DeliveryStress, AThousandDeliveriesArriveWholeAndGiveTheClipboardBackEveryTime) {
  VELLOTYPE_SKIP_WITHOUT_X();
  QProcess editor;
  editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  editor.start(VELLOTYPE_TEST_EDITOR, QStringList());
  QByteArray lastLine;
  const auto editorPrints = [&](const QByteArray& suffix) {
    return QTest::qWaitFor(
        [&] {
          while (editor.canReadLine()) lastLine = editor.readLine().trimmed();
          return lastLine.endsWith(suffix);
        },
        kTimeoutMs);
  };
  ASSERT_TRUE(editorPrints("ready"));

  QtMainQueue realQueue;
  QuickerMainQueue queue(realQueue, 0.4);
  QtPasteboard pasteboard;
  X11EventTap tap;
  X11KeyboardEvents keyboard(tap);
  NoInputSources inputSources;
  auto injector = std::make_shared<TextInjector>(pasteboard, inputSources, keyboard, queue);

  const std::string image = imageBytes(64 * 1024);
  const std::vector<std::pair<RawSelectionOwner::Targets, PasteboardContents>> clipboards = {
      {{{"UTF8_STRING", "copied text"}}, {{{"text/plain", "copied text"}}}},
      {{{"image/png", image}}, {{{"image/png", image}}}},
      {{{"UTF8_STRING", "several"}, {"text/html", "<b>several</b>"}, {"image/png", image}},
       {{{"text/plain", "several"}, {"text/html", "<b>several</b>"}, {"image/png", image}}}},
  };
  QByteArray typed;
  for (int i = 0; i < kDeliveries; ++i) {
    const auto& [targets, contents] = clipboards[i % clipboards.size()];
    const auto changes = pasteboard.changeCount();
    RawSelectionOwner owner(display(), targets);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pasteboard.changeCount() > changes; })) << i;

    const std::string text = " " + std::to_string(i) + (i % 7 ? "" : " \u4f60\u597d \U0001F389");
    injector->inject(text);
    typed += QByteArray::fromStdString(text);
    ASSERT_TRUE(editorPrints(typed.toHex())) << "delivery " << i << " did not arrive once, whole";
    PasteboardContents now;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (now = readAsAnotherClient()) == contents; }, 2000))
        << "delivery " << i << " left " << ::testing::PrintToString(now);
  }
  editor.kill();
  editor.waitForFinished(kTimeoutMs);
}

}  // namespace
}  // namespace vellotype::testing
