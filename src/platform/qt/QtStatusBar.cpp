#include "platform/qt/QtStatusBar.h"

#include "platform/qt/QtStatusItem.h"

namespace vellotype {

std::shared_ptr<StatusItem> QtStatusBar::statusItem(double) {
  // A tray decides the size of its icons itself.
  return std::make_shared<QtStatusItem>();
}

}  // namespace vellotype
