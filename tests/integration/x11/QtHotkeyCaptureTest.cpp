// The hotkey settings window on a real X server through Qt's xcb platform: Record is clicked,
// keys are pressed at the X server's keyboard, and the window saves what the keys are.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "XTestKeyboard.h"
#include "XvfbServer.h"
#include "fakes/FakePreferences.h"
#include "hotkey/HotkeySettingsWindow.h"
#include "platform/qt/QtHotkeySettingsView.h"

namespace vellotype::testing {
namespace {

// X keycodes.
constexpr std::uint8_t kF5 = 71, kRightAlt = 108;

TEST(QtHotkeyCaptureOnX11, RecordsAnFKeyAndThenTheRightAltKeyPressedAtTheKeyboard) {
  XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "no X server for this test: " << xvfb.error();
  qputenv("DISPLAY", xvfb.display().c_str());
  qputenv("QT_QPA_PLATFORM", "xcb");
  int argc = 1;
  char name[] = "vellotype_qt_x11_tests";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);

  FakePreferences preferences;
  auto owned = std::make_unique<QtHotkeySettingsView>();
  auto* view = owned.get();
  auto window = std::make_shared<HotkeySettingsWindow>(preferences, std::move(owned));
  std::vector<std::string> changes;
  window->onHotkeyChanged = [&](const TriggerKey& key) { changes.push_back(key.displayName); };
  window->makeKeyAndOrderFront();
  ASSERT_TRUE(QTest::qWaitForWindowActive(view)) << "the window did not take the focus";

  XTestKeyboard keyboard(xvfb.display());
  QPushButton* record = nullptr;
  for (auto* button : view->findChildren<QPushButton*>()) {
    if (button->text() == "Record Hotkey") record = button;
  }
  ASSERT_TRUE(record);
  const auto recordAndPress = [&](std::uint8_t keycode) {
    QTest::mouseClick(record, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isCapturing(); }, 5000));
    keyboard.press(keycode);
    keyboard.release(keycode);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isCapturing(); }, 5000));
  };

  recordAndPress(kF5);
  EXPECT_EQ(TriggerKey::load(preferences),
            (TriggerKey{TriggerKey::Kind::keyCode, std::nullopt, 96, "F5"}));
  recordAndPress(kRightAlt);
  EXPECT_EQ(
      TriggerKey::load(preferences),
      (TriggerKey{TriggerKey::Kind::modifier, TriggerKey::Modifier::option, 61, "Right Option"}));
  EXPECT_EQ(changes, (std::vector<std::string>{"F5", "Right Option"}));
  EXPECT_TRUE(view->isVisible());
}

}  // namespace
}  // namespace vellotype::testing
