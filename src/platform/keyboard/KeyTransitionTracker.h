#pragma once
// Turns the key events a key filter receives (raw events from XInput2 or evdev, and on X11 core
// events frozen under its synchronous grab, which can show one transition twice) into one
// canonical event per physical transition, and says how each grabbed event is to be released.
// Runs on the filter's thread; owned by X11EventTap or EvdevEventTap, a new one for each start().

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/EventTap.h"

namespace vellotype {

class KeyTransitionTracker {
 public:
  enum class Source { raw, grab };
  // The AllowEvents mode for a grabbed event; raw events are never frozen.
  enum class Answer { none, syncKeyboard, replayKeyboard };

  // Only events of `grabbedKeycodes` (X keycodes) can ever be removed. Keys `heldAtStart` (by X
  // keycode) are left alone until they have been released: what comes of them before that is
  // their auto-repeat, not a press the user just made.
  KeyTransitionTracker(const std::vector<std::uint8_t>& grabbedKeycodes, EventTap::Filter filter,
                       std::bitset<256> heldAtStart = {});

  Answer handle(Source source, bool press, std::uint8_t keycode, std::uint32_t time);

 private:
  struct Transition {
    bool press;
    std::uint32_t time;
    Source source;
    bool seenOnBoth;
    EventTap::Disposition disposition;
  };

  EventTap::Disposition feed(bool press, std::uint8_t keycode);
  std::uint64_t heldFlags() const;
  Answer answer(Source source, bool press, std::uint8_t keycode,
                EventTap::Disposition disposition) const;

  std::bitset<256> grabbed_;
  EventTap::Filter filter_;
  std::bitset<256> down_;
  std::bitset<256> heldAtStart_;
  std::array<std::optional<Transition>, 256> last_;
};

}  // namespace vellotype
