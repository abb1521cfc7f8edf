// The correction service's settings window through its real widgets, driven by its real logic.

#include <gtest/gtest.h>

#include <QLabel>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <map>

#include "fakes/FakePreferences.h"
#include "fakes/FakeRefiner.h"
#include "platform/PreferenceKeys.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtSettingsView.h"
#include "refinement/SettingsWindow.h"

namespace vellotype {
namespace {

using Field = SettingsView::Field;

class QtSettingsViewTest : public ::testing::Test {
 protected:
  QtSettingsViewTest() {
    auto owned = std::make_unique<QtSettingsView>();
    view = owned.get();
    window = std::make_shared<SettingsWindow>(preferences, refiner, std::move(owned));
  }

  void openAndFocus(Field field) {
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view));
    view->field(field).setFocus();
  }
  void retype(Field field, const QString& text) {
    view->field(field).setFocus();
    view->field(field).clear();
    QTest::keyClicks(&view->field(field), text);
  }
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

TEST_F(QtSettingsViewTest, AFixedCentredWindowWithTheFieldsInAGridAndTheButtonsBelow) {
  EXPECT_FALSE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "LLM Refinement Settings");
  EXPECT_EQ(view->minimumSize(), QSize(480, 220));
  EXPECT_EQ(view->maximumSize(), QSize(480, 220));
  EXPECT_FALSE(view->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(view->windowFlags() & Qt::WindowCloseButtonHint);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((view->frameGeometry().center() - screen.center()).manhattanLength(), 1);

  window->makeKeyAndOrderFront();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
  const auto& key = view->field(Field::apiKey);
  EXPECT_EQ(key.echoMode(), QLineEdit::Normal) << "the key shows in clear text";
  EXPECT_EQ(key.placeholderText(), "sk-...");
  const std::map<Field, QString> labels = {
      {Field::baseURL, "API Base URL:"}, {Field::apiKey, "API Key:"}, {Field::model, "Model:"}};
  QRect above;
  for (const auto& [which, title] : labels) {
    const QRect field = view->field(which).geometry();
    EXPECT_GE(field.width(), 300);
    EXPECT_EQ(field.right() + 1, 460);
    EXPECT_EQ(field.top(), above.isNull() ? 20 : above.bottom() + 1 + 12);
    const auto found = view->findChildren<QLabel*>();
    const auto label = std::find_if(found.begin(), found.end(),
                                    [&](QLabel* l) { return l->buddy() == &view->field(which); });
    ASSERT_NE(label, found.end());
    EXPECT_EQ((*label)->text(), title);
    EXPECT_TRUE((*label)->alignment() & Qt::AlignRight);
    EXPECT_EQ((*label)->geometry().right() + 1 + 8, field.left());
    EXPECT_GE((*label)->x(), 20);
    above = field;
  }
  const QRect status = view->statusLabel().geometry();
  const QRect test = view->testButton().geometry();
  const QRect save = view->saveButton().geometry();
  EXPECT_EQ(status.left(), 20);
  EXPECT_EQ(test.left(), status.right() + 1 + 8);
  EXPECT_EQ(save.left(), test.right() + 1 + 8);
  EXPECT_EQ(save.right() + 1, 460);
  EXPECT_EQ(std::min({status.top(), test.top(), save.top()}), above.bottom() + 1 + 20);
  EXPECT_LE(save.bottom() + 1, 200);
  EXPECT_EQ(view->statusLabel().font().pixelSize(), 12);
}

TEST_F(QtSettingsViewTest, TypedFieldsAreTestedAndSavedAndSurviveClosing) {
  openAndFocus(Field::apiKey);
  EXPECT_EQ(view->field(Field::baseURL).text(), "https://api.openai.com/v1");
  EXPECT_EQ(view->statusLabel().text(), "");
  const QColor secondary = statusColor();
  EXPECT_LT(secondary.alphaF(), 1) << "dimmed";

  QTest::keyClicks(&view->field(Field::apiKey), "sk-typed");
  retype(Field::model, "local-model");
  QTest::mouseClick(&view->testButton(), Qt::LeftButton);
  EXPECT_EQ(preferences.stringValue(prefs::kLLMAPIKey), "sk-typed");
  EXPECT_EQ(preferences.stringValue(prefs::kLLMModel), "local-model");
  EXPECT_EQ(view->statusLabel().text(), "Testing...");
  EXPECT_EQ(statusColor(), secondary);
  refiner.reply(std::string("Hello"));
  queue.runUntilIdle();
  EXPECT_EQ(view->statusLabel().text(), "OK: Hello");
  EXPECT_EQ(statusColor(), QColor::fromRgbF(0.204f, 0.780f, 0.349f));

  retype(Field::apiKey, "");
  QTest::mouseClick(&view->testButton(), Qt::LeftButton);
  EXPECT_EQ(view->statusLabel().text(), "API key is empty");
  EXPECT_EQ(statusColor(), QColor::fromRgbF(1.0f, 0.231f, 0.188f));

  retype(Field::apiKey, "unsaved");
  view->close();  // the title bar's close button
  EXPECT_FALSE(view->isVisible());
  window->makeKeyAndOrderFront();
  EXPECT_EQ(view->field(Field::apiKey).text(), "unsaved");
  EXPECT_EQ(view->statusLabel().text(), "API key is empty");
  EXPECT_EQ(preferences.stringValue(prefs::kLLMAPIKey), "");

  QTest::mouseClick(&view->saveButton(), Qt::LeftButton);
  EXPECT_EQ(preferences.stringValue(prefs::kLLMAPIKey), "unsaved");
  EXPECT_FALSE(view->isVisible());
}

TEST_F(QtSettingsViewTest, ReturnSavesFromAFieldOrTheTestButton) {
  view->field(Field::apiKey).setText("sk-key");
  for (const bool fromTestButton : {false, true}) {
    openAndFocus(Field::model);
    retype(Field::model, fromTestButton ? "b" : "a");
    if (fromTestButton) view->testButton().setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(preferences.stringValue(prefs::kLLMModel), fromTestButton ? "b" : "a");
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(refiner.hasRequestInFlight()) << "Return is not Test";
    EXPECT_EQ(view->statusLabel().text(), "");
  }
}

TEST_F(QtSettingsViewTest, TheProgramsEditingKeysWorkInTheFields) {
  QtApplication application;
  auto edit = std::make_shared<Menu>("Edit");
  edit->addItem("Undo", {}, "z").setEditCommand(MenuItem::EditCommand::undo);
  edit->addItem("Copy", {}, "c").setEditCommand(MenuItem::EditCommand::copy);
  edit->addItem("Paste", {}, "v").setEditCommand(MenuItem::EditCommand::paste);
  edit->addItem("Select All", {}, "a").setEditCommand(MenuItem::EditCommand::selectAll);
  auto main = std::make_shared<Menu>();
  main->addItem("Edit").setSubmenu(edit);
  application.setMainMenu(main);

  openAndFocus(Field::baseURL);
  auto& baseURL = view->field(Field::baseURL);
  QTest::keyClick(&baseURL, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(baseURL.selectedText(), "https://api.openai.com/v1");
  QTest::keyClick(&baseURL, Qt::Key_C, Qt::ControlModifier);
  retype(Field::model, "");
  QTest::keyClick(&view->field(Field::model), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(view->field(Field::model).text(), "https://api.openai.com/v1");
  QTest::keyClick(&view->field(Field::model), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(view->field(Field::model).text(), "") << "undone once, not twice";
}

}  // namespace
}  // namespace vellotype
