// The tray's menu as Qt paints it: the texts its items are drawn with.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "platform/qt/QtMenuView.h"

namespace vellotype {
namespace {

// Keeps the text of each menu item it is asked to draw.
class MenuItemTexts : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    if (element == CE_MenuItem) {
      texts.push_back(static_cast<const QStyleOptionMenuItem*>(option)->text.toStdString());
    }
    QProxyStyle::drawControl(element, option, painter, widget);
  }

  mutable std::vector<std::string> texts;
};

TEST(QtMenuViewKeys, TheTraysMenuShowsQuitsKeyEquivalentWhereShortcutsAreHidden) {
  // As where the desktop's theme leaves shortcuts out of context menus.
  QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus);
  auto menu = std::make_shared<Menu>();
  menu->addItem("Enabled", [](MenuItem&) {});
  menu->addItem(
      "Quit Vellotype", [](MenuItem&) {}, "q");
  MenuItemTexts style;
  QtMenuView view(menu);
  view.menu()->setStyle(&style);
  view.menu()->grab();
  EXPECT_EQ(style.texts, (std::vector<std::string>{"Enabled", "Quit Vellotype\tCtrl+Q"}));
  QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus, false);
}

}  // namespace
}  // namespace vellotype
