#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "platform/qt/QtApplication.h"

namespace vellotype {
namespace {

TEST(QtApplication, MainMenuKeysReachTheFocusedFieldAndTheApplication) {
  QtApplication application;
  int quits = 0;
  auto appMenu = std::make_shared<Menu>();
  appMenu->addItem(
      "Quit Vellotype", [&](MenuItem&) { ++quits; }, "q");
  auto edit = std::make_shared<Menu>("Edit");
  edit->addItem("Undo", {}, "z").setEditCommand(MenuItem::EditCommand::undo);
  edit->addItem("Redo", {}, "Z").setEditCommand(MenuItem::EditCommand::redo);
  edit->addItem("Select All", {}, "a").setEditCommand(MenuItem::EditCommand::selectAll);
  auto main = std::make_shared<Menu>();
  main->addItem("").setSubmenu(appMenu);
  main->addItem("Edit").setSubmenu(edit);
  application.setMainMenu(main);

  QLineEdit field;
  field.show();
  field.activateWindow();
  field.setFocus();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&field));
  QTest::keyClicks(&field, "abc");
  QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(field.selectedText(), "abc");
  QTest::keyClick(&field, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(field.text(), "");
  QTest::keyClick(&field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(field.text(), "abc");
  QTest::keyClick(&field, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(quits, 1);
  QTest::keyClick(&field, Qt::Key_Q);
  EXPECT_EQ(quits, 1) << "a plain q is typed";
  EXPECT_EQ(field.text(), "abcq");
}

}  // namespace
}  // namespace vellotype
