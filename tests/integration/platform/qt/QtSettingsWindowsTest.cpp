// The two settings windows through their real widgets, offscreen, driven by their real logic;
// key events carry X keycodes as the xcb platform delivers them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "fakes/FakeHttpSession.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRefiner.h"
#include "fakes/TemporaryFolder.h"
#include "hotkey/HotkeySettingsWindow.h"
#include "hotkey/TriggerKeyPreferences.h"
#include "platform/PreferenceKeys.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtHotkeySettingsView.h"
#include "platform/qt/QtSettingsView.h"
#include "platform/qt/QtSpeechServiceSettingsView.h"
#include "refinement/SettingsWindow.h"
#include "transcription/SpeechServiceSettingsWindow.h"
#include "values/Color.h"

namespace vellotype {
namespace {

using Field = SettingsView::Field;

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

  void click(const QString& title) {
    for (auto* b : view->findChildren<QPushButton*>()) {
      if (b->text() == title) return QTest::mouseClick(b, Qt::LeftButton);
    }
    ADD_FAILURE() << "no button " << title.toStdString();
  }
  QLabel& label(const char* name) const { return *view->findChild<QLabel*>(name); }
  QColor statusColor() const { return label("status").palette().color(QPalette::WindowText); }

  // As the platform delivers a key: a shortcut override first, then the press and the release,
  // to the widget with the focus.
  // A key still held after that repeats as presses without releases.
  void press(quint32 keycode, int qtKey, const QString& text,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : view;
    for (const auto type : {QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease}) {
      if (repeat && type == QEvent::KeyRelease) break;
      QKeyEvent event(type, qtKey, modifiers, keycode, 0, 0, text, repeat);
      QApplication::sendEvent(target, &event);
    }
  }

  FakePreferences preferences;
  QtHotkeySettingsView* view;
  std::shared_ptr<HotkeySettingsWindow> window;
  std::vector<std::string> changes;
  int closes = 0;
};

TEST_F(QtHotkeySettingsViewTest, ButtonsRecordResetAndCloseWithTheStatusInItsColours) {
  EXPECT_LT(statusColor().alphaF(), 0.7) << "dimmer than the label";
  click("Record Hotkey");
  EXPECT_TRUE(window->isCapturing());
  EXPECT_EQ(label("status").text(), "Press a modifier or key now. Escape cancels.");
  EXPECT_EQ(statusColor(), qColor(Color::systemBlue()));

  click("Reset to Control");
  EXPECT_FALSE(window->isCapturing()) << "a click reaches the buttons during a capture";
  EXPECT_EQ(changes, std::vector<std::string>{"Control"});
  EXPECT_EQ(statusColor(), qColor(Color::systemGreen()));
  click("Done");
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(closes, 1);

  // The title bar's close button, during a capture.
  window->makeKeyAndOrderFront();
  click("Record Hotkey");
  view->close();
  EXPECT_FALSE(view->isVisible());
  EXPECT_FALSE(window->isCapturing());
  EXPECT_EQ(closes, 2);
}

TEST_F(QtHotkeySettingsViewTest, ReturnIsCapturedWhileRecordingAndPressesDoneOtherwise) {
  click("Record Hotkey");
  press(kReturn, Qt::Key_Return, "\r");
  EXPECT_EQ(TriggerKeyPreferences::load(preferences).keyCode, 36);
  EXPECT_EQ(label("currentKey").text(), "Return");
  EXPECT_TRUE(view->isVisible()) << "Done was pressed";
  press(kReturn, Qt::Key_Return, "\r", Qt::NoModifier, /*repeat=*/true);
  EXPECT_TRUE(view->isVisible()) << "the captured Return, still held, repeated into Done";

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

  click("Record Hotkey");
  press(kEscape, Qt::Key_Escape, "\x1b");
  EXPECT_EQ(label("status").text(), "Capture cancelled.");
  EXPECT_TRUE(preferences.values.empty());

  click("Record Hotkey");
  press(kQ, Qt::Key_Q, "\x11", Qt::ControlModifier);
  EXPECT_EQ(quits, 0);
  EXPECT_EQ(changes, std::vector<std::string>{"Q"});
  press(kQ, Qt::Key_Q, "\x11", Qt::ControlModifier);
  EXPECT_EQ(quits, 1) << "the capture is gone once a key is saved";
}

class QtSettingsViewTest : public ::testing::Test {
 protected:
  QtSettingsViewTest() {
    auto owned = std::make_unique<QtSettingsView>();
    view = owned.get();
    window = std::make_shared<SettingsWindow>(preferences, refiner, std::move(owned));
  }

  void open() {
    window->makeKeyAndOrderFront();
    EXPECT_TRUE(QTest::qWaitForWindowActive(view));
  }
  QLineEdit& retype(Field field, const QString& text) {
    auto& edit = view->field(field);
    edit.setFocus();
    edit.clear();
    QTest::keyClicks(&edit, text);
    return edit;
  }
  QString status() const { return view->statusLabel().text(); }
  QColor statusColor() const {
    const auto& label = view->statusLabel();
    return label.palette().color(label.foregroundRole());
  }

  FakeMainQueue queue;
  CallLog log{queue};
  FakePreferences preferences;
  FakeRefiner refiner{log, queue};
  QtSettingsView* view;
  std::shared_ptr<SettingsWindow> window;
};

TEST_F(QtSettingsViewTest, TypedFieldsAreTestedAndSavedAndSurviveClosing) {
  open();
  const auto& save = view->saveButton();
  EXPECT_EQ(save.mapTo(view, QPoint()).y() + save.height(), view->height() - 20) << "at the bottom";
  EXPECT_EQ(view->field(Field::baseURL).text(), "https://api.openai.com/v1");
  EXPECT_EQ(view->field(Field::apiKey).echoMode(), QLineEdit::Normal) << "the key is not masked";
  const QColor secondary = statusColor();
  EXPECT_LT(secondary.alphaF(), 1) << "dimmed";

  retype(Field::apiKey, "sk-typed");
  retype(Field::model, "local-model");
  QTest::mouseClick(&view->testButton(), Qt::LeftButton);
  EXPECT_EQ(preferences.stringValue(prefs::kLLMAPIKey), "sk-typed");
  EXPECT_EQ(preferences.stringValue(prefs::kLLMModel), "local-model");
  EXPECT_EQ(status(), "Testing...");
  EXPECT_EQ(statusColor(), secondary);
  refiner.reply(std::string("Hello"));
  queue.runUntilIdle();
  EXPECT_EQ(status(), "OK: Hello");
  EXPECT_EQ(statusColor(), qColor(Color::systemGreen()));

  retype(Field::apiKey, "");
  QTest::mouseClick(&view->testButton(), Qt::LeftButton);
  EXPECT_EQ(status(), "API key is empty");
  EXPECT_EQ(statusColor(), qColor(Color::systemRed()));

  retype(Field::apiKey, "unsaved");
  view->close();  // the title bar's close button
  window->makeKeyAndOrderFront();
  EXPECT_EQ(view->field(Field::apiKey).text(), "unsaved");
  EXPECT_EQ(status(), "API key is empty");
  EXPECT_EQ(preferences.stringValue(prefs::kLLMAPIKey), "");
  QTest::mouseClick(&view->saveButton(), Qt::LeftButton);
  EXPECT_EQ(preferences.stringValue(prefs::kLLMAPIKey), "unsaved");
  EXPECT_FALSE(view->isVisible());
}

TEST_F(QtSettingsViewTest, ReturnSavesFromAFieldOrTheTestButton) {
  view->field(Field::apiKey).setText("sk-key");
  for (const bool fromTestButton : {false, true}) {
    open();
    retype(Field::model, fromTestButton ? "b" : "a");
    if (fromTestButton) view->testButton().setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(preferences.stringValue(prefs::kLLMModel), fromTestButton ? "b" : "a");
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(refiner.hasRequestInFlight()) << "Return is not Test";
  }
}

TEST_F(QtSettingsViewTest, TheMainMenusKeysEditTheFieldsAndQuitOnlyWithControl) {
  QtApplication application;
  int quits = 0;
  auto menu = std::make_shared<Menu>();
  menu->addItem(
      "Quit Vellotype", [&](MenuItem&) { ++quits; }, "q");
  using Command = MenuItem::EditCommand;
  for (const auto& [key, command] : {std::pair{"z", Command::undo},
                                     {"Z", Command::redo},
                                     {"c", Command::copy},
                                     {"v", Command::paste},
                                     {"a", Command::selectAll}}) {
    menu->addItem(key, {}, key).setEditCommand(command);
  }
  application.setMainMenu(menu);

  open();
  auto& baseURL = view->field(Field::baseURL);
  baseURL.setFocus();
  QTest::keyClick(&baseURL, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&baseURL, Qt::Key_C, Qt::ControlModifier);
  auto& model = retype(Field::model, "");
  QTest::keyClick(&model, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(model.text(), "https://api.openai.com/v1");
  QTest::keyClick(&model, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(model.text(), "") << "undone once, not twice";
  QTest::keyClick(&model, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(model.text(), "https://api.openai.com/v1");
  QTest::keyClick(&model, Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClick(&model, Qt::Key_Q);
  EXPECT_EQ(quits, 1) << "a plain q is typed";
  EXPECT_EQ(model.text(), "https://api.openai.com/v1q");
}

// The speech service's window: the same form with its two choices, all of it inside the window.
TEST(QtSpeechServiceSettingsView, TheChoicesAreStoredAndShownAgainAndEveryRowFits) {
  FakeMainQueue queue;
  FakePreferences preferences;
  FakeHttpSession http;
  TemporaryFolder folder;
  DiagnosticLog log(folder / "Vellotype.log");
  TranscriptionClient client(preferences, http, queue, log);
  const auto open = [&] {
    auto owned = std::make_unique<QtSpeechServiceSettingsView>();
    auto* view = owned.get();
    auto window =
        std::make_shared<SpeechServiceSettingsWindow>(preferences, client, std::move(owned));
    window->makeKeyAndOrderFront();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view));
    return std::pair{window, view};
  };

  auto [window, view] = open();
  EXPECT_EQ(view->windowTitle(), "Speech Service Settings");
  EXPECT_EQ(view->languagesBox().currentText(), "Languages without a local model");
  EXPECT_FALSE(view->liveWordsBox().isChecked());
  // Top to bottom without overlapping, nothing squeezed, the buttons inside the window.
  const auto top = [&](const QWidget& w) { return w.mapTo(view, QPoint()).y(); };
  const auto bottom = [&](const QWidget& w) { return top(w) + w.height(); };
  EXPECT_LE(bottom(view->field(Field::model)), top(view->languagesBox()));
  EXPECT_LE(bottom(view->languagesBox()), top(view->liveWordsBox()));
  EXPECT_LT(bottom(view->liveWordsBox()), top(view->saveButton()));
  EXPECT_EQ(bottom(view->saveButton()), view->height() - 20);
  EXPECT_GE(view->languagesBox().height(), view->languagesBox().sizeHint().height());
  view->languagesBox().setCurrentIndex(view->languagesBox().findText("All languages"));
  QTest::mouseClick(&view->liveWordsBox(), Qt::LeftButton);
  QTest::mouseClick(&view->saveButton(), Qt::LeftButton);
  EXPECT_EQ(preferences.stringValue(prefs::kSpeechServiceLanguages), "all");
  EXPECT_EQ(preferences.boolValue(prefs::kSpeechServiceLiveWords), true);

  preferences.setString(prefs::kSpeechServiceLanguages, "none");
  auto [again, reopened] = open();
  EXPECT_EQ(reopened->languagesBox().currentText(), "None");
  EXPECT_TRUE(reopened->liveWordsBox().isChecked());
}

}  // namespace
}  // namespace vellotype
