#pragma once
// System log lines on standard error (which a desktop session passes on to its journal) and to
// syslog. Any thread; owned by the composition root.

#include "platform/SystemLog.h"

namespace vellotype {

class PosixSystemLog : public SystemLog {
 public:
  PosixSystemLog();
  void log(std::string_view line) override;
};

}  // namespace vellotype
