#pragma once
// Modal alerts. Main thread only; owned by the composition root.

#include <cstddef>
#include <string>
#include <vector>

namespace vellotype {

struct Alert {
  enum class Style { warning, informational, critical };

  std::string messageText;      // the bold first line
  std::string informativeText;  // the explanation below it
  Style style = Style::warning;
  std::vector<std::string> buttons;  // in order; the first is the default
};

class Alerts {
 public:
  virtual ~Alerts() = default;

  // Shows the alert and waits, running a modal loop, until the user answers. Returns the index
  // of the pressed button in `alert.buttons`; closing the alert any other way counts as the last.
  virtual std::size_t runModal(const Alert& alert) = 0;
};

}  // namespace vellotype
