// The capsule's window, offscreen: its text in pixels, clipped to the capsule as it grows, and
// left whole while the capsule fades away.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QLabel>

#include "platform/qt/QtOverlayWindow.h"

namespace vellotype {
namespace {

constexpr int kMargin = 24;  // the window's room for the shadow on every side

TEST(QtOverlayWindow, TextIsFifteenPixelsClippedToTheCapsuleAndKeptWhileFading) {
  QtOverlayWindow window;
  const auto* label = window.findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(QFontInfo(label->font()).pixelSize(), 15);

  // Growing from 160 to 560 wide: the text is laid out for 560 at once, and must not show
  // beyond the capsule's rounded end while it is still 160 wide.
  window.setFrame({100, 100, 160, 56});
  window.setText(std::string(80, 'W'));
  window.animate({0.25, TimingCurve::easeOut(), {100, 100, 560, 56}, std::nullopt}, {});
  const QImage image = window.grab().toImage();
  int textBeyondTheEnd = 0;
  for (int x = kMargin + 160; x < image.width(); ++x) {
    for (int y = kMargin; y < kMargin + 56; ++y) {
      if (qGray(image.pixel(x, y)) > 160 && qAlpha(image.pixel(x, y)) > 128) ++textBeyondTheEnd;
    }
  }
  EXPECT_EQ(textBeyondTheEnd, 0);

  window.setFrame({100, 100, 400, 56});
  window.setText("Hello there, how are you today?");
  const auto shown = label->text();
  EXPECT_EQ(shown, "Hello there, how are you today?");
  window.animate({0.22, TimingCurve::easeIn(), {108, 92, 200, 56}, 0.0}, {});
  EXPECT_EQ(label->text(), shown) << "not cut short as it sinks away";
}

}  // namespace
}  // namespace vellotype
