#pragma once
// The desktop session as Qt and the environment describe it. Main thread only; owned by the
// composition root.

#include "platform/Workspace.h"

namespace vellotype {

class QtWorkspace : public Workspace {
 public:
  bool openURL(std::string_view url) override;
  std::string currentLocaleIdentifier() const override;
  bool isWaylandSession() const override;
};

}  // namespace vellotype
