#pragma once
// The key presses and releases of one synthetic chord, chosen so that exactly the wanted
// modifiers are in effect when its key goes down, whatever the user holds. Pure logic, any
// thread; used by X11KeyboardEvents.

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace vellotype {

class KeyChordPlan {
 public:
  struct Step {
    bool press;
    std::uint8_t keycode;
    bool operator==(const Step&) const = default;
  };
  // The core modifier map: the keycodes bound to Shift, Lock, Control and Mod1 to Mod5.
  using ModifierMap = std::array<std::vector<std::uint8_t>, 8>;

  // `held`: the X keycodes down now; `flags`: the canonical modifier flags wanted. Held
  // modifier keys that are not wanted are released and stay released. The application then sees
  // one release, and the server drops the user's own later release as a duplicate; pressing the
  // key again would leave it down on the XTest device for good, where it would swallow the next
  // synthetic press of that modifier.
  static std::vector<Step> steps(const std::bitset<256>& held, const ModifierMap& modifiers,
                                 std::uint64_t flags, std::uint8_t keycode);
};

}  // namespace vellotype
