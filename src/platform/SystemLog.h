#pragma once
// One line to the system's log, for problems the user does not act on. Any thread.

#include <string_view>

namespace vellotype {

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  virtual void log(std::string_view line) = 0;
};

}  // namespace vellotype
