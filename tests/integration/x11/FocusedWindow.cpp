#include "FocusedWindow.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace vellotype::testing {

FocusedWindow::FocusedWindow(const std::string& display)
    : connection_(xcb_connect(display.c_str(), nullptr)) {
  if (xcb_connection_has_error(connection_)) return;
  const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  const auto window = window_ = xcb_generate_id(connection_);
  const std::uint32_t mask =
      XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 100, 100, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
  xcb_map_window(connection_, window);
  xcb_flush(connection_);
  // Focus can only go to a viewable window.
  if (!waitUntil([this](const auto&) { return mapped_; })) return;
  auto* error = xcb_request_check(
      connection_, xcb_set_input_focus_checked(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window,
                                               XCB_CURRENT_TIME));
  ready_ = error == nullptr;
  std::free(error);
}

FocusedWindow::~FocusedWindow() { xcb_disconnect(connection_); }

void FocusedWindow::setClass(const std::string& instance, const std::string& className) {
  const auto value = instance + '\0' + className + '\0';
  std::free(xcb_request_check(
      connection_,
      xcb_change_property_checked(connection_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS,
                                  XCB_ATOM_STRING, 8, std::uint32_t(value.size()), value.data())));
}

bool FocusedWindow::waitUntil(const std::function<bool(const std::vector<Key>&)>& done,
                              std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    read();
    if (done(keys_)) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || xcb_connection_has_error(connection_)) return false;
    pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
    poll(&fd, 1, int(left.count()));
  }
}

bool FocusedWindow::received(std::uint8_t keycode) const {
  return std::any_of(keys_.begin(), keys_.end(),
                     [&](const Key& k) { return k.keycode == keycode; });
}

void FocusedWindow::read() {
  while (auto* event = xcb_poll_for_event(connection_)) {
    const auto type = event->response_type & 0x7F;
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
      const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
      keys_.push_back({type == XCB_KEY_PRESS, key->detail, key->state});
    } else if (type == XCB_MAP_NOTIFY) {
      mapped_ = true;
    }
    std::free(event);
  }
}

}  // namespace vellotype::testing
