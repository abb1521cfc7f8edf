#pragma once
// Opens a node under /dev/input for reading when it is a keyboard. Stateless, so safe from any
// thread: the tap calls it at start() and from its own thread for nodes that appear later.

#include <string>

namespace vellotype {

class EvdevKeyboardOpener {
 public:
  struct Opened {
    enum class Outcome { keyboard, notKeyboard, denied };
    Outcome outcome = Outcome::notKeyboard;
    int fd = -1;  // for a keyboard only; the caller closes it
  };

  // A keyboard is a device with the letter keys: mice, power buttons and lid switches also
  // report EV_KEY, but never KEY_A. Opened read-only and not grabbed.
  static Opened open(const std::string& path);
};

}  // namespace vellotype
