#pragma once
// The X keysyms the portals speak for canonical keys: the symbol each key types unshifted on a
// US keyboard, and its name as the XDG shortcuts format writes a key. Main thread only; owned by
// a portal client.

#include <cstdint>
#include <optional>
#include <string>

#include "values/TriggerKey.h"

struct xkb_context;
struct xkb_keymap;

namespace vellotype {

class PortalKeysyms {
 public:
  PortalKeysyms();
  ~PortalKeysyms();
  PortalKeysyms(const PortalKeysyms&) = delete;
  PortalKeysyms& operator=(const PortalKeysyms&) = delete;

  // Nothing for keys Linux keyboards lack (Fn), or when the system has no keyboard data.
  std::optional<std::uint32_t> keysym(std::uint16_t keyCode) const;
  // "v", "F5", "Control_R".
  std::optional<std::string> name(std::uint16_t keyCode) const;

  // The key a trigger stands for: its own, or for a modifier on either side the left one, as
  // the key monitor expects it.
  static std::uint16_t keyCode(const TriggerKey& trigger);
  static std::uint16_t leftKeyCode(TriggerKey::Modifier modifier);

 private:
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
};

}  // namespace vellotype
