// The tray's menu as Qt paints it: the texts its items are drawn with, and the glyphs of the
// language names in the desktop's fonts.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QTextLayout>

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

TEST(QtMenuViewScripts, EveryCharacterOfTheLanguageNamesHasAGlyph) {
  QtMenuView view(std::make_shared<Menu>());
  for (const char* name : {"中文 (简体)", "中文 (繁體)", "日本語", "한국어", "✨"}) {
    // Laid out as the menu lays out its items, with the fonts Qt falls back to.
    QTextLayout layout(QString::fromUtf8(name), view.menu()->font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int missing = 0;  // glyph 0 is a font's empty box for a character it lacks
    for (const auto& run : layout.glyphRuns()) {
      for (const auto glyph : run.glyphIndexes()) missing += glyph == 0;
    }
    EXPECT_EQ(missing, 0) << name;
  }
}

}  // namespace
}  // namespace vellotype
