#pragma once
// The program's icon and menu in the desktop's system tray. Main thread only; made by the
// status bar and kept by the application object.

#include <QSystemTrayIcon>
#include <memory>
#include <optional>

#include "platform/StatusItem.h"
#include "platform/qt/QtMenuView.h"

namespace vellotype {

class QtStatusItem : public StatusItem, public StatusItemButton {
 public:
  QtStatusItem();

  StatusItemButton* button() override;
  bool hasStatusArea() override;
  void setMenu(std::shared_ptr<Menu> menu) override;

  void setImage(const VectorImage& image) override;
  void setImagePosition(ImagePosition position) override;
  void setToolTip(std::string_view toolTip) override;
  void setContentTintColor(std::optional<Color> tint) override;

 private:
  void redraw();

  QSystemTrayIcon trayIcon_;
  std::unique_ptr<QtMenuView> menuView_;
  const VectorImage* image_ = nullptr;
  std::optional<Color> tint_;
};

}  // namespace vellotype
