#pragma once
// The session-wide keyboard filter under the key monitor. start() and stop() run on the main
// thread; the filter runs on the tap's own thread, so that the keyboard is never held up by a
// busy main thread. Owned by the composition root.

#include <functional>

#include "values/KeyEvent.h"
#include "values/TriggerKey.h"

namespace vellotype {

class EventTap {
 public:
  enum class Disposition { pass, remove };
  enum class StartResult {
    started,
    unavailable,  // no access to the session's keyboard
    keyInUse,     // another program already holds the trigger key
  };
  // Sees every key press (auto-repeats included) and release of the session once, and every
  // modifier change as a flagsChanged event, in canonical terms. Runs on the tap's thread and
  // must return at once.
  using Filter = std::function<Disposition(const KeyEvent&)>;

  virtual ~EventTap() = default;

  // Watches the keyboard for `trigger`. Only the trigger's own keys can be removed; every other
  // event reaches the focused application whatever the filter answers. A running tap is
  // stopped first.
  virtual StartResult start(const TriggerKey& trigger, Filter filter) = 0;
  // Once this returns the filter is not called again. Safe when already stopped.
  virtual void stop() = 0;
};

}  // namespace vellotype
