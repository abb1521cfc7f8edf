#include "platform/qt/QtApplication.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace vellotype {
namespace {

// The platform's shortcut key: Command on a Mac keyboard is Control here.
bool matches(const MenuItem& item, const QKeyEvent& event) {
  const auto& equivalent = item.keyEquivalent();
  if (equivalent.size() != 1) return false;
  const char c = equivalent[0];
  const bool wantShift =
      (item.keyEquivalentModifierMask() & MenuItem::kShiftModifier) != 0 || (c >= 'A' && c <= 'Z');
  const bool wantControl = (item.keyEquivalentModifierMask() & MenuItem::kCommandModifier) != 0;
  const auto modifiers = event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier |
                                              Qt::AltModifier | Qt::MetaModifier);
  const auto wanted = (wantControl ? Qt::ControlModifier : Qt::NoModifier) |
                      (wantShift ? Qt::ShiftModifier : Qt::NoModifier);
  return modifiers == wanted && event.key() == QChar(c).toUpper().unicode();
}

const char* slotFor(MenuItem::EditCommand command) {
  switch (command) {
    case MenuItem::EditCommand::undo:
      return "undo";
    case MenuItem::EditCommand::redo:
      return "redo";
    case MenuItem::EditCommand::cut:
      return "cut";
    case MenuItem::EditCommand::copy:
      return "copy";
    case MenuItem::EditCommand::paste:
      return "paste";
    case MenuItem::EditCommand::selectAll:
      return "selectAll";
  }
  return "";
}

// Runs the item for the key, if one of the menu's items has it as its equivalent.
bool perform(const Menu& menu, const QKeyEvent& event) {
  for (const auto& item : menu.items()) {
    if (item->submenu() && perform(*item->submenu(), event)) return true;
    if (!matches(*item, event)) continue;
    if (item->editCommand()) {
      // Like a menu command without a target: it goes to the focused field, if it can take it.
      auto* focus = QApplication::focusWidget();
      return focus && QMetaObject::invokeMethod(focus, slotFor(*item->editCommand()));
    }
    if (!item->hasAction()) return false;
    item->perform();
    return true;
  }
  return false;
}

}  // namespace

QtApplication::QtApplication() { qApp->installEventFilter(this); }

QtApplication::~QtApplication() {
  if (qApp) qApp->removeEventFilter(this);
}

void QtApplication::setMainMenu(std::shared_ptr<Menu> menu) { mainMenu_ = std::move(menu); }

void QtApplication::activateIgnoringOtherApps() {
  for (auto* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible()) continue;
    window->raise();
    window->activateWindow();
  }
}

void QtApplication::terminate() { QCoreApplication::quit(); }

bool QtApplication::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !mainMenu_ || !watched->isWidgetType()) return false;
  return perform(*mainMenu_, static_cast<const QKeyEvent&>(*event));
}

}  // namespace vellotype
