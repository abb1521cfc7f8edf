#pragma once
// The session's key filter from the kernel's input devices, for sessions whose keyboard X11
// cannot see (Wayland): it reads every keyboard under /dev/input, as a member of the input group
// may, on a thread of its own, and follows keyboards as they are plugged in and out. start(),
// stop() and lastProblem() belong to the main thread, the filter runs on the tap's thread.
// Owned by the composition root.

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/EventTap.h"
#include "platform/keyboard/evdev/EvdevKeyboard.h"
#include "platform/keyboard/evdev/EvdevKeyboardOpener.h"
#include "platform/keyboard/evdev/LoginSession.h"

namespace vellotype {

class KeyTransitionTracker;

class EvdevEventTap : public EventTap {
 public:
  using Opener = std::function<EvdevKeyboardOpener::Opened(const std::string& path)>;

  // `opener` is called with the path of each `event*` node in `directory`, at start() and on
  // the tap's thread whenever a node appears or its permissions change. Presses made while
  // `sessionIsActive` says another session is in front are not the user's to dictate with.
  explicit EvdevEventTap(
      std::string directory = "/dev/input", Opener opener = &EvdevKeyboardOpener::open,
      std::function<bool()> sessionIsActive = [] { return LoginSession::isActive(); });
  ~EvdevEventTap() override;
  EvdevEventTap(const EvdevEventTap&) = delete;
  EvdevEventTap& operator=(const EvdevEventTap&) = delete;

  // Every key of every keyboard is seen, whatever `trigger` is. The devices are never grabbed,
  // so nothing is removed: every key reaches the applications whatever the filter answers, the
  // trigger's own included. Unavailable when no keyboard can be opened; lastProblem() says why.
  StartResult start(const TriggerKey& trigger, Filter filter) override;
  void stop() override;

  // Why the last start() found no keyboard, ready to show; empty after a start that worked.
  const std::string& lastProblem() const { return lastProblem_; }

 private:
  // Opens `name` in the directory unless it is open already; says whether it was denied.
  bool open(const std::string& name);
  // Opens every keyboard in the directory; says whether any was denied.
  bool openAll();
  void closeAll();

  // The tap's thread.
  void run();
  void readWatch();
  void forward(const EvdevKeyboard::Change& change);

  const std::string directory_;
  const Opener opener_;
  const std::function<bool()> sessionIsActive_;
  std::string lastProblem_;
  int stopFd_ = -1;
  int watchFd_ = -1;
  // The tap thread's own while it runs.
  std::vector<std::unique_ptr<EvdevKeyboard>> keyboards_;
  std::unique_ptr<KeyTransitionTracker> tracker_;
  std::vector<EvdevKeyboard::Change> changes_;
  std::thread thread_;
};

}  // namespace vellotype
