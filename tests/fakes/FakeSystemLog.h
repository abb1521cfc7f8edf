#pragma once
// Keeps every system log line and records it as "syslog: <line>".

#include "fakes/CallLog.h"
#include "platform/SystemLog.h"

namespace vellotype {

class FakeSystemLog : public SystemLog, Recorder {
 public:
  using Recorder::Recorder;
  void log(std::string_view line) override {
    lines.emplace_back(line);
    log_.record("syslog: " + std::string(line));
  }

  std::vector<std::string> lines;
};

}  // namespace vellotype
