#include "platform/qt/QtStatusItem.h"

#include <QCursor>

#include "platform/qt/VectorIconEngine.h"

namespace vellotype {

QtStatusItem::QtStatusItem() {
  // As on a menu bar, a plain click opens the menu; trays show it on a right click themselves.
  QObject::connect(&trayIcon_, &QSystemTrayIcon::activated, &trayIcon_,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::Trigger && menuView_) {
                       menuView_->menu()->popup(QCursor::pos());
                     }
                   });
}

StatusItemButton* QtStatusItem::button() { return this; }

bool QtStatusItem::hasStatusArea() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void QtStatusItem::setMenu(std::shared_ptr<Menu> menu) {
  menuView_ = std::make_unique<QtMenuView>(std::move(menu));
  trayIcon_.setContextMenu(menuView_->menu());
}

void QtStatusItem::setImage(const VectorImage& image) {
  image_ = &image;
  redraw();
  // Shown even with no tray yet: Qt docks a shown icon in a tray that appears later.
  trayIcon_.show();
}

void QtStatusItem::setImagePosition(ImagePosition) {
  // A tray shows an icon and nothing else.
}

void QtStatusItem::setToolTip(std::string_view toolTip) {
  trayIcon_.setToolTip(QString::fromUtf8(toolTip.data(), qsizetype(toolTip.size())));
}

void QtStatusItem::setContentTintColor(std::optional<Color> tint) {
  tint_ = tint;
  redraw();
}

void QtStatusItem::redraw() {
  if (!image_) return;
  // The desktop's text colour says nothing about the panel's, so the icon keeps its own.
  const Color& color = tint_ ? *tint_ : image_->color;
  trayIcon_.setIcon(QIcon(
      new VectorIconEngine(*image_, QColor::fromRgbF(float(color.red), float(color.green),
                                                     float(color.blue), float(color.alpha)))));
}

}  // namespace vellotype
