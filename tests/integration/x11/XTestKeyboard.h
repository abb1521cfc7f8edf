#pragma once
// Presses and releases keys on the X server through XTest, from a client of its own, as a person
// at the keyboard would. Used from the test thread only.

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace vellotype::testing {

class XTestKeyboard {
 public:
  explicit XTestKeyboard(const std::string& display);
  ~XTestKeyboard();
  XTestKeyboard(const XTestKeyboard&) = delete;
  XTestKeyboard& operator=(const XTestKeyboard&) = delete;

  void press(std::uint8_t keycode);
  void release(std::uint8_t keycode);
  // The server's own auto-repeat, sooner and faster, so that a test need not hold a key long.
  // XTest itself drops a press of a key that is already down.
  bool setRepeat(std::uint16_t delayMs, std::uint16_t intervalMs);

  // The keycodes the server has down now.
  std::bitset<256> heldKeys();
  // Gives `keycode` these keysyms (unshifted, shifted) in a one-group layout, as a user's choice
  // of layout would; false when the server refused.
  bool setSymbols(std::uint8_t keycode, std::uint32_t lower, std::uint32_t upper);

 private:
  xcb_connection_t* connection_;
};

}  // namespace vellotype::testing
