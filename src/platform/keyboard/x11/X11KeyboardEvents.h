#pragma once
// Synthetic keystrokes on X11: the paste chord through XTest on an X connection of its own, and
// the focused window's program names. Main thread only; owned by the composition root, which
// hands it the session's key filter so that the filter never sees these keys.

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/KeyboardEvents.h"
#include "platform/keyboard/x11/KeyChordPlan.h"

struct xcb_connection_t;

namespace vellotype {

class X11EventTap;

class X11KeyboardEvents : public KeyboardEvents {
 public:
  // `display` as xcb_connect takes it; empty means $DISPLAY. The tap may be stopped.
  explicit X11KeyboardEvents(X11EventTap& tap, std::string display = {});
  ~X11KeyboardEvents() override;
  X11KeyboardEvents(const X11KeyboardEvents&) = delete;
  X11KeyboardEvents& operator=(const X11KeyboardEvents&) = delete;

  std::vector<std::string> focusedWindowClasses() override;
  void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) override;

 private:
  bool connected();
  void disconnect();
  std::optional<std::uint8_t> chordKeycode(std::uint16_t keyCode);
  std::optional<std::uint8_t> keycodeTypingV(std::uint8_t position);
  std::bitset<256> heldKeys();
  KeyChordPlan::ModifierMap modifierMap();

  X11EventTap& tap_;
  const std::string display_;
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
};

}  // namespace vellotype
