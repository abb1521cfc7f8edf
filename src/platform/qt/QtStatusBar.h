#pragma once
// Makes the program's items in the system tray. Main thread only; owned by the composition
// root.

#include "platform/StatusItem.h"

namespace vellotype {

class QtStatusBar : public StatusBar {
 public:
  std::shared_ptr<StatusItem> statusItem(double length) override;
};

}  // namespace vellotype
