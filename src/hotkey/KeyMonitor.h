#pragma once
// Turns holding the trigger key into key-down and key-up reports, removing the trigger's own
// events from the keyboard stream. start(), stop() and the trigger key belong to the main
// thread; handle() runs on the event tap's thread while the monitor runs, and its reports are
// posted to the main queue. Owned through a shared_ptr by the composition root; it must outlive
// its tap's running state (the destructor stops the tap).

#include <memory>

#include "hotkey/KeyMonitorInterface.h"
#include "platform/EventTap.h"
#include "platform/MainQueue.h"

namespace vellotype {

class KeyMonitor : public KeyMonitorInterface, public std::enable_shared_from_this<KeyMonitor> {
 public:
  KeyMonitor(EventTap& tap, MainQueue& mainQueue, TriggerKey triggerKey);
  ~KeyMonitor() override;

  const TriggerKey& triggerKey() const override { return triggerKey_; }
  // A running monitor is restarted with the new key; should that fail it stays stopped.
  void setTriggerKey(const TriggerKey& key) override;

  EventTap::StartResult start() override;
  void stop() override;

  // Decides one event: whether it reaches other applications, and what it reports.
  EventTap::Disposition handle(const KeyEvent& event);

 private:
  using Callback = std::function<void()> KeyMonitorInterface::*;

  EventTap::Disposition reportDown();
  EventTap::Disposition reportUp();
  void post(Callback callback);

  EventTap& tap_;
  MainQueue& mainQueue_;
  bool running_ = false;

  // Read by the tap's thread while running; written only while stopped, so never contended.
  TriggerKey triggerKey_;
  // The tap thread's own while running: a key-down was reported and its key-up not yet.
  bool keyPressed_ = false;
  bool chordReported_ = false;
};

}  // namespace vellotype
