#pragma once
// A status area whose one item keeps the look last given to its button. Records each image set
// as "statusImage: <accessibility description>".

#include "fakes/CallLog.h"
#include "platform/StatusItem.h"

namespace vellotype {

class FakeStatusBar : public StatusBar, public StatusItem, public StatusItemButton, Recorder {
 public:
  using Recorder::Recorder;

  std::shared_ptr<StatusItem> statusItem(double) override {
    return std::shared_ptr<StatusItem>(std::shared_ptr<void>(), this);  // not owned
  }
  StatusItemButton* button() override { return this; }
  bool hasStatusArea() override { return statusArea; }
  void setMenu(std::shared_ptr<Menu> newMenu) override { menu = std::move(newMenu); }

  void setImage(const VectorImage& image) override {
    log_.record("statusImage: " + image.accessibilityDescription);
  }
  void setImagePosition(ImagePosition) override {}
  void setToolTip(std::string_view text) override { toolTip = text; }
  void setContentTintColor(std::optional<Color> color) override { tint = color; }

  bool statusArea = true;  // false: a desktop without one, for now
  std::shared_ptr<Menu> menu;
  std::string toolTip;
  std::optional<Color> tint;
};

}  // namespace vellotype
