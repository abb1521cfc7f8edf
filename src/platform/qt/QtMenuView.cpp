#include "platform/qt/QtMenuView.h"

#include <QAction>
#include <QKeySequence>

namespace vellotype {
namespace {

void showState(QAction& action, const MenuItem& item) {
  // Only marked items are checkable, so unmarked ones show no empty box.
  const bool on = item.state() == MenuItem::State::on;
  action.setCheckable(on);
  action.setChecked(on);
  action.setText(QString::fromStdString(item.title()));
}

// The platform's shortcut key: Command on a Mac keyboard is Control here.
QKeySequence keySequence(const MenuItem& item) {
  const auto& equivalent = item.keyEquivalent();
  if (equivalent.size() != 1) return {};
  const QChar key(equivalent[0]);
  Qt::KeyboardModifiers modifiers;
  if (item.keyEquivalentModifierMask() & MenuItem::kCommandModifier) {
    modifiers |= Qt::ControlModifier;
  }
  if ((item.keyEquivalentModifierMask() & MenuItem::kShiftModifier) || key.isUpper()) {
    modifiers |= Qt::ShiftModifier;
  }
  return QKeyCombination(modifiers, Qt::Key(key.toUpper().unicode()));
}

}  // namespace

QtMenuView::QtMenuView(std::shared_ptr<Menu> menu) : model_(std::move(menu)) {
  fill(root_, *model_);
}

QtMenuView::~QtMenuView() {
  for (const auto& item : watched_) item->onChange = nullptr;
}

void QtMenuView::fill(QMenu& view, const Menu& model) {
  QObject::connect(&view, &QMenu::aboutToShow, &view, [&model] {
    if (model.onWillOpen) model.onWillOpen();
  });
  for (const auto& item : model.items()) {
    if (item->isSeparatorItem()) {
      view.addSeparator();
      continue;
    }
    if (item->submenu()) {
      auto* submenu = view.addMenu(QString::fromStdString(item->title()));
      fill(*submenu, *item->submenu());
      continue;
    }
    auto* action = view.addAction(QString::fromStdString(item->title()));
    showState(*action, *item);
    action->setEnabled(item->hasAction());
    action->setShortcut(keySequence(*item));
    // Some desktops' themes leave shortcuts out of context menus, which Qt takes a tray's menu
    // for; this menu is where the user learns the key.
    action->setShortcutVisibleInContextMenu(true);
    item->onChange = [action, item = item.get()] { showState(*action, *item); };
    watched_.push_back(item);
    QObject::connect(action, &QAction::triggered, action, [action, item = item.get()] {
      showState(*action, *item);  // undo Qt's own toggling; the model decides the mark
      item->perform();
    });
  }
}

}  // namespace vellotype
