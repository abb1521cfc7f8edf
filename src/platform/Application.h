#pragma once
// The running program as the desktop sees it. Main thread only; owned by the composition root.

#include <memory>

#include "platform/Menu.h"

namespace vellotype {

class Application {
 public:
  virtual ~Application() = default;

  // The menu whose key equivalents work in every window of the program.
  virtual void setMainMenu(std::shared_ptr<Menu> menu) = 0;
  // Brings the program's windows in front of other programs'.
  virtual void activateIgnoringOtherApps() = 0;
  // Ends the program once the current event has been handled.
  virtual void terminate() = 0;
};

}  // namespace vellotype
