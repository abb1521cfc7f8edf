#pragma once
// Another X client for tests: the application in front of the user, whose window holds the
// focus and records the key events it is sent, and the person typing at the keyboard through
// XTest. Used on the test's thread; owned by the test.

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <array>
#include <bitset>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// xkb.h names a struct member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

namespace vellotype::testing {

class UserDesk {
 public:
  explicit UserDesk(const std::string& display) : c(xcb_connect(display.c_str(), nullptr)) {
    if (xcb_connection_has_error(c)) return;
    const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    root = screen->root;
    window = xcb_generate_id(c);
    const std::uint32_t mask =
        XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
    xcb_map_window(c, window);
    xcb_flush(c);
    // Focus can only go to a viewable window.
    if (!waitUntil([this] { return mapped_; })) return;
    ready = check(
        xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME));
  }
  ~UserDesk() { xcb_disconnect(c); }

  void press(std::uint8_t keycode) { fake(XCB_KEY_PRESS, keycode); }
  void release(std::uint8_t keycode) { fake(XCB_KEY_RELEASE, keycode); }
  void type(std::initializer_list<std::uint8_t> keycodes) {
    for (const auto k : keycodes) press(k), release(k);
  }

  // The server's own auto-repeat, sooner and faster, so that a test need not hold a key long.
  bool setRepeat(std::uint16_t delayMs, std::uint16_t intervalMs) {
    std::free(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
    std::array<std::uint8_t, 32> everyKey;
    everyKey.fill(0xFF);
    const auto on = XCB_XKB_BOOL_CTRL_REPEAT_KEYS;
    return check(xcb_xkb_set_controls_checked(c, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, on, on, on, delayMs, intervalMs, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0, everyKey.data()));
  }
  // Gives `keycode` these keysyms (unshifted, shifted) in a one-group layout, as a user's choice
  // of layout would.
  bool setSymbols(std::uint8_t keycode, std::uint32_t lower, std::uint32_t upper) {
    const std::array<std::uint32_t, 2> symbols{lower, upper};
    return check(xcb_change_keyboard_mapping_checked(c, 1, keycode, 2, symbols.data()));
  }
  // The keycodes the server has down now.
  std::bitset<256> heldKeys() {
    std::bitset<256> held;
    auto* keymap = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
    for (std::size_t k = 0; keymap && k < held.size(); ++k) {
      held[k] = (keymap->keys[k / 8] >> (k % 8)) & 1;
    }
    std::free(keymap);
    return held;
  }

  // Reads arriving events until `done` holds, or `timeout` passes.
  bool waitUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(2)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      while (auto* event = xcb_poll_for_event(c)) {
        const auto type = event->response_type & 0x7F;
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
          // With the core modifier state from before the event.
          keys.emplace_back(key->detail, (type == XCB_KEY_PRESS ? "press " : "release ") +
                                             std::to_string(key->state));
        }
        mapped_ = mapped_ || type == XCB_MAP_NOTIFY;
        std::free(event);
      }
      if (done()) return true;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || xcb_connection_has_error(c)) return false;
      pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
      poll(&fd, 1, int(left.count()));
    }
  }
  // The window's presses and releases of one key so far.
  std::vector<std::string> of(std::uint8_t keycode) const {
    std::vector<std::string> texts;
    for (const auto& [k, text] : keys) {
      if (k == keycode) texts.push_back(text);
    }
    return texts;
  }

  // Waits for the server to carry out a request; false when it refused.
  bool check(xcb_void_cookie_t cookie) {
    auto* error = xcb_request_check(c, cookie);
    std::free(error);
    return error == nullptr;
  }

  xcb_connection_t* c;
  std::uint32_t root = 0, window = 0;
  bool ready = false;
  std::vector<std::pair<std::uint8_t, std::string>> keys;

 private:
  void fake(std::uint8_t type, std::uint8_t keycode) {
    xcb_test_fake_input(c, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c);
  }
  bool mapped_ = false;
};

}  // namespace vellotype::testing
