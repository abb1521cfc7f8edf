#include "XTestKeyboard.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <array>
#include <cstdlib>

// xkb.h names a struct member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace vellotype::testing {

XTestKeyboard::XTestKeyboard(const std::string& display)
    : connection_(xcb_connect(display.c_str(), nullptr)) {}

XTestKeyboard::~XTestKeyboard() { xcb_disconnect(connection_); }

void XTestKeyboard::press(std::uint8_t keycode) {
  xcb_test_fake_input(connection_, XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_flush(connection_);
}

void XTestKeyboard::release(std::uint8_t keycode) {
  xcb_test_fake_input(connection_, XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_flush(connection_);
}

bool XTestKeyboard::setRepeat(std::uint16_t delayMs, std::uint16_t intervalMs) {
  auto* c = connection_;
  auto* use = xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr);
  const bool supported = use && use->supported;
  std::free(use);
  if (!supported) return false;
  std::array<std::uint8_t, 32> everyKey;
  everyKey.fill(0xFF);
  const auto repeat = XCB_XKB_BOOL_CTRL_REPEAT_KEYS;
  auto* error = xcb_request_check(
      c, xcb_xkb_set_controls_checked(c, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      repeat, repeat, repeat, delayMs, intervalMs, 0, 0, 0, 0, 0, 0,
                                      0, 0, 0, 0, 0, 0, everyKey.data()));
  std::free(error);
  return error == nullptr;
}

std::bitset<256> XTestKeyboard::heldKeys() {
  std::bitset<256> held;
  auto* keymap = xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr);
  for (std::size_t k = 0; keymap && k < held.size(); ++k) {
    held[k] = (keymap->keys[k / 8] >> (k % 8)) & 1;
  }
  std::free(keymap);
  return held;
}

bool XTestKeyboard::setSymbols(std::uint8_t keycode, std::uint32_t lower, std::uint32_t upper) {
  const std::array<std::uint32_t, 2> symbols{lower, upper};
  auto* error = xcb_request_check(
      connection_, xcb_change_keyboard_mapping_checked(connection_, 1, keycode, 2, symbols.data()));
  std::free(error);
  return error == nullptr;
}

}  // namespace vellotype::testing
