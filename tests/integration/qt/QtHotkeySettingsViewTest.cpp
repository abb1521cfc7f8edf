// The hotkey settings window through its real widgets, offscreen, with key events carrying X
// keycodes as the xcb platform delivers them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "fakes/FakePreferences.h"
#include "hotkey/HotkeySettingsWindow.h"
#include "platform/Color.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtHotkeySettingsView.h"

namespace vellotype {
namespace {

// X keycodes.
constexpr quint32 kEscape = 9, kReturn = 36, kQ = 24;

QColor qColor(const Color& c) {
  return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha));
}

class QtHotkeySettingsViewTest : public ::testing::Test {
 protected:
  QtHotkeySettingsViewTest() {
    auto owned = std::make_unique<QtHotkeySettingsView>();
    view = owned.get();
    window = std::make_shared<HotkeySettingsWindow>(preferences, std::move(owned));
    window->onHotkeyChanged = [this](const TriggerKey& key) { changes.push_back(key.displayName); };
    window->onClosed = [this] { ++closes; };
    window->makeKeyAndOrderFront();
    EXPECT_TRUE(QTest::qWaitForWindowActive(view));
  }

  QPushButton* button(const QString& title) const {
    for (auto* b : view->findChildren<QPushButton*>()) {
      if (b->text() == title) return b;
    }
    return nullptr;
  }
  QLabel* label(const char* name) const { return view->findChild<QLabel*>(name); }
  QColor statusColor() const { return label("status")->palette().color(QPalette::WindowText); }

  // As the platform delivers a key: a shortcut override first, then the key itself, to the
  // widget with the focus.
  void key(QEvent::Type type, quint32 keycode, int qtKey, const QString& text = {},
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : view;
    if (type == QEvent::KeyPress) {
      QKeyEvent override(QEvent::ShortcutOverride, qtKey, modifiers, keycode, 0, 0, text);
      QApplication::sendEvent(target, &override);
      if (override.isAccepted()) overridden.push_back(keycode);
    }
    QKeyEvent event(type, qtKey, modifiers, keycode, 0, 0, text);
    QApplication::sendEvent(target, &event);
  }
  void press(quint32 keycode, int qtKey, const QString& text = {},
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    key(QEvent::KeyPress, keycode, qtKey, text, modifiers);
    key(QEvent::KeyRelease, keycode, qtKey, text, modifiers);
  }

  FakePreferences preferences;
  QtHotkeySettingsView* view;
  std::shared_ptr<HotkeySettingsWindow> window;
  std::vector<std::string> changes;
  std::vector<quint32> overridden;
  int closes = 0;
};

TEST_F(QtHotkeySettingsViewTest, LaysOutAFixedTitledWindowWithTheKeyStatusAndButtons) {
  EXPECT_EQ(view->windowTitle(), "Hotkey Settings");
  EXPECT_EQ(view->size(), QSize(420, 180));
  EXPECT_EQ(view->minimumSize(), view->maximumSize()) << "not resizable";
  EXPECT_EQ(view->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
            Qt::WindowCloseButtonHint);

  const auto* currentKey = label("currentKey");
  EXPECT_EQ(currentKey->text(), "Control");
  EXPECT_EQ(currentKey->font().pixelSize(), 16);
  EXPECT_EQ(currentKey->font().weight(), QFont::DemiBold);
  const auto* status = label("status");
  EXPECT_EQ(status->font().pixelSize(), 12);
  EXPECT_EQ(currentKey->geometry().top(), 24);
  EXPECT_EQ(status->geometry().left(), 24);
  EXPECT_EQ(status->geometry().top(), currentKey->geometry().bottom() + 1 + 18);

  const auto* record = button("Record Hotkey");
  const auto* reset = button("Reset to Control");
  const auto* done = button("Done");
  ASSERT_TRUE(record && reset && done);
  EXPECT_EQ(reset->geometry().left() - record->geometry().right() - 1, 8);
  EXPECT_EQ(done->geometry().left() - reset->geometry().right() - 1, 8);
  EXPECT_EQ(done->geometry().right() + 1, 420 - 24);
  EXPECT_EQ(done->geometry().bottom() + 1, 180 - 20);
  EXPECT_GE(record->geometry().top() - status->geometry().bottom() - 1, 22);
  EXPECT_TRUE(done->isDefault());
}

TEST_F(QtHotkeySettingsViewTest, ButtonsRecordResetAndCloseWithTheStatusInItsColours) {
  const QColor secondary = statusColor();
  EXPECT_EQ(secondary.rgb(), view->palette().color(QPalette::WindowText).rgb());
  EXPECT_LT(secondary.alphaF(), 0.7) << "dimmer than the label";

  QTest::mouseClick(button("Record Hotkey"), Qt::LeftButton);
  EXPECT_TRUE(window->isCapturing());
  EXPECT_EQ(label("status")->text(), "Press a modifier or key now. Escape cancels.");
  EXPECT_EQ(statusColor(), qColor(Color::systemBlue()));

  QTest::mouseClick(button("Reset to Control"), Qt::LeftButton);
  EXPECT_FALSE(window->isCapturing()) << "a click reaches the buttons during a capture";
  EXPECT_EQ(changes, std::vector<std::string>{"Control"});
  EXPECT_EQ(statusColor(), qColor(Color::systemGreen()));

  QTest::mouseClick(button("Done"), Qt::LeftButton);
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(closes, 1);
}

TEST_F(QtHotkeySettingsViewTest, ReturnIsCapturedWhileRecordingAndPressesDoneOtherwise) {
  QTest::mouseClick(button("Record Hotkey"), Qt::LeftButton);
  press(kReturn, Qt::Key_Return, "\r");
  EXPECT_EQ(TriggerKey::load(preferences).keyCode, 36);
  EXPECT_EQ(label("currentKey")->text(), "Return");
  EXPECT_TRUE(view->isVisible()) << "Done was not pressed";
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(overridden, std::vector<quint32>{kReturn}) << "no shortcut may take the key";

  press(kReturn, Qt::Key_Return, "\r");
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(closes, 1);
}

TEST_F(QtHotkeySettingsViewTest, EscapeCancelsAndTheMainMenuHearsNothingWhileRecording) {
  QtApplication application;
  int quits = 0;
  auto menu = std::make_shared<Menu>();
  menu->addItem(
      "Quit", [&](MenuItem&) { ++quits; }, "q");
  application.setMainMenu(menu);

  QTest::mouseClick(button("Record Hotkey"), Qt::LeftButton);
  press(kEscape, Qt::Key_Escape, "\x1b");
  EXPECT_EQ(label("status")->text(), "Capture cancelled.");
  EXPECT_TRUE(preferences.values.empty());

  QTest::mouseClick(button("Record Hotkey"), Qt::LeftButton);
  press(kQ, Qt::Key_Q, "\x11", Qt::ControlModifier);
  EXPECT_EQ(quits, 0);
  EXPECT_EQ(changes, std::vector<std::string>{"Q"});
  press(kQ, Qt::Key_Q, "\x11", Qt::ControlModifier);
  EXPECT_EQ(quits, 1) << "the capture is gone once a key is saved";
}

TEST_F(QtHotkeySettingsViewTest, TheCloseButtonClosesOnceAndTheWindowComesBack) {
  QTest::mouseClick(button("Record Hotkey"), Qt::LeftButton);
  view->close();
  EXPECT_FALSE(view->isVisible());
  EXPECT_FALSE(window->isCapturing());
  EXPECT_EQ(closes, 1);
  window->makeKeyAndOrderFront();
  EXPECT_TRUE(view->isVisible());
}

}  // namespace
}  // namespace vellotype
