#include "platform/posix/PosixSystemLog.h"

#include <syslog.h>

#include <cstdio>
#include <string>

namespace vellotype {

PosixSystemLog::PosixSystemLog() { openlog("vellotype", LOG_PID, LOG_USER); }

void PosixSystemLog::log(std::string_view line) {
  const std::string text(line);
  std::fprintf(stderr, "Vellotype: %s\n", text.c_str());
  syslog(LOG_WARNING, "%s", text.c_str());
}

}  // namespace vellotype
