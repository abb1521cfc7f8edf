#pragma once
// Modal alerts as Qt message boxes. Main thread only; owned by the composition root.

#include "platform/Alerts.h"

namespace vellotype {

class QtAlerts : public Alerts {
 public:
  std::size_t runModal(const Alert& alert) override;
};

}  // namespace vellotype
