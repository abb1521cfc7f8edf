#include "hotkey/KeyMonitor.h"

namespace vellotype {

using Disposition = EventTap::Disposition;

KeyMonitor::KeyMonitor(EventTap& tap, MainQueue& mainQueue, TriggerKey triggerKey)
    : tap_(tap), mainQueue_(mainQueue), triggerKey_(std::move(triggerKey)) {}

KeyMonitor::~KeyMonitor() {
  // The tap's filter refers to this monitor.
  if (running_) tap_.stop();
}

void KeyMonitor::setTriggerKey(const TriggerKey& key) {
  const bool wasRunning = running_;
  stop();
  triggerKey_ = key;
  if (wasRunning) start();
}

EventTap::StartResult KeyMonitor::start() {
  stop();
  const auto result = tap_.start(triggerKey_, [this](const KeyEvent& e) { return handle(e); });
  running_ = result == EventTap::StartResult::started;
  return result;
}

void KeyMonitor::stop() {
  tap_.stop();
  running_ = false;
  keyPressed_ = false;
  chordReported_ = false;
}

Disposition KeyMonitor::handle(const KeyEvent& event) {
  const auto& trigger = triggerKey_;
  if (trigger.kind == TriggerKey::Kind::keyCode) {
    if (event.keyCode != trigger.keyCode) return Disposition::pass;
    switch (event.type) {
      case KeyEvent::Type::keyUp:
        return keyPressed_ ? reportUp() : Disposition::remove;
      case KeyEvent::Type::keyDown:
        return keyPressed_ || event.autorepeat ? Disposition::remove : reportDown();
      default:
        return Disposition::pass;
    }
  }

  // Control is every Linux application's shortcut key: a key typed while the trigger modifier
  // is held makes a shortcut, not an utterance. The key itself goes on to the application.
  if (event.type == KeyEvent::Type::keyDown && keyPressed_) {
    if (!chordReported_) {
      chordReported_ = true;
      post(&KeyMonitorInterface::onChordKey);
    }
    return Disposition::pass;
  }

  if (event.type != KeyEvent::Type::flagsChanged || !trigger.modifier) return Disposition::pass;
  const bool held = (event.modifierFlags & flagMask(*trigger.modifier)) != 0;

  if (trigger.keyCode != 0) {
    if (event.keyCode != trigger.keyCode) return Disposition::pass;
    if (keyPressed_) return reportUp();
    return held ? reportDown() : Disposition::remove;
  }
  if (held && !keyPressed_) return reportDown();
  if (!held && keyPressed_) return reportUp();
  return Disposition::pass;  // another modifier changed while the trigger is held, or not ours
}

Disposition KeyMonitor::reportDown() {
  keyPressed_ = true;
  chordReported_ = false;
  post(&KeyMonitorInterface::onKeyDown);
  return Disposition::remove;
}

Disposition KeyMonitor::reportUp() {
  keyPressed_ = false;
  post(&KeyMonitorInterface::onKeyUp);
  return Disposition::remove;
}

void KeyMonitor::post(Callback callback) {
  mainQueue_.post([weak = weak_from_this(), callback] {
    if (auto self = weak.lock()) {
      const auto& report = (*self).*callback;
      if (report) report();
    }
  });
}

}  // namespace vellotype
