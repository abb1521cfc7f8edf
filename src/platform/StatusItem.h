#pragma once
// The program's item in the desktop's status area (the tray). Main thread only.
// The status bar owns its items; the application keeps the one it created.

#include <memory>
#include <optional>
#include <string_view>

#include "platform/Menu.h"
#include "values/Color.h"
#include "values/VectorImage.h"

namespace vellotype {

class StatusItemButton {
 public:
  enum class ImagePosition { noImage = 0, imageOnly = 1 };

  virtual ~StatusItemButton() = default;

  // The image object must outlive the button; the button may keep a reference to it.
  virtual void setImage(const VectorImage& image) = 0;
  virtual void setImagePosition(ImagePosition position) = 0;
  virtual void setToolTip(std::string_view toolTip) = 0;
  // Nothing removes the tint: the image is drawn in its own colours.
  virtual void setContentTintColor(std::optional<Color> tint) = 0;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;

  // Keeps the look it is given while the desktop has no status area, and shows it as soon as
  // one appears: at login the panel often starts after the program.
  virtual StatusItemButton* button() = 0;
  // Whether the desktop has a status area to show the item in now.
  virtual bool hasStatusArea() = 0;
  // Shown when the item is clicked.
  virtual void setMenu(std::shared_ptr<Menu> menu) = 0;
};

class StatusBar {
 public:
  static constexpr double kSquareLength = -2;

  virtual ~StatusBar() = default;
  virtual std::shared_ptr<StatusItem> statusItem(double length) = 0;
};

}  // namespace vellotype
