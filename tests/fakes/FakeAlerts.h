#pragma once
// Keeps every alert shown and answers with scripted button indexes (the first button when the
// script has run out). Records "alert: <title>".

#include <deque>

#include "fakes/CallLog.h"
#include "platform/Alerts.h"

namespace vellotype {

class FakeAlerts : public Alerts, Recorder {
 public:
  using Recorder::Recorder;

  std::size_t runModal(const Alert& alert) override {
    shown.push_back(alert);
    log_.record("alert: " + alert.messageText);
    if (answers.empty()) return 0;
    const auto answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<Alert> shown;
  std::deque<std::size_t> answers;
};

}  // namespace vellotype
