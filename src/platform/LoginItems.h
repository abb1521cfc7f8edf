#pragma once
// Whether the program starts by itself when the user logs in. Main thread only; owned by the
// composition root.

#include <optional>
#include <string>

namespace vellotype {

class LoginItems {
 public:
  virtual ~LoginItems() = default;

  // Read afresh each time: the user may have changed it outside the program.
  virtual bool isEnabled() = 0;
  // Nothing when done; otherwise why not, ready to show after "could not change…: ". A failed
  // change leaves things as they were.
  virtual std::optional<std::string> setEnabled(bool enabled) = 0;
};

}  // namespace vellotype
