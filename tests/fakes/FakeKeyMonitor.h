#pragma once
// A key monitor the test presses keys through. start() answers `startResult`. Records
// "keyMonitor: start" and "keyMonitor: stop".

#include "fakes/CallLog.h"
#include "hotkey/KeyMonitorInterface.h"

namespace vellotype {

class FakeKeyMonitor : public KeyMonitorInterface, Recorder {
 public:
  using Recorder::Recorder;

  const TriggerKey& triggerKey() const override { return key_; }
  void setTriggerKey(const TriggerKey& key) override {
    log_.record("keyMonitor: trigger " + key.displayName);
    key_ = key;
  }
  EventTap::StartResult start() override {
    log_.record("keyMonitor: start");
    running = startResult == EventTap::StartResult::started;
    return startResult;
  }
  void stop() override {
    log_.record("keyMonitor: stop");
    running = false;
  }

  // What the real monitor reports while it runs.
  void report(std::function<void()>& callback) {
    if (running && callback) callback();
  }

  bool running = false;
  EventTap::StartResult startResult = EventTap::StartResult::started;

 private:
  TriggerKey key_;
};

}  // namespace vellotype
