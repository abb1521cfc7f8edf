#include "platform/keyboard/wayland/VirtualKeyboardEvents.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/keyboard/KeyCodeTable.h"
#include "platform/wayland/SeatGlobals.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace vellotype {
namespace {

// A sealed memory file holding the keymap and its terminating NUL, as wl_keyboard.keymap has it.
int keymapFile(const std::string& text) {
  const int fd = memfd_create("vellotype-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return -1;
  const char* data = text.c_str();
  std::size_t left = text.size() + 1;
  while (left > 0) {
    const auto written = write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      close(fd);
      return -1;
    }
    data += written;
    left -= std::size_t(written);
  }
  fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
  return fd;
}

}  // namespace

std::unique_ptr<VirtualKeyboardEvents> VirtualKeyboardEvents::create(const std::string& display,
                                                                     std::string& error,
                                                                     const std::string& layout) {
  auto keymap = VirtualKeymap::compile(layout, error);
  if (!keymap) return nullptr;
  std::unique_ptr<VirtualKeyboardEvents> events(
      new VirtualKeyboardEvents(display, std::move(*keymap)));
  error = events->connect();
  if (!error.empty()) return nullptr;
  return events;
}

VirtualKeyboardEvents::VirtualKeyboardEvents(std::string display, VirtualKeymap keymap)
    : display_(std::move(display)), keymap_(std::move(keymap)) {}

VirtualKeyboardEvents::~VirtualKeyboardEvents() { disconnect(); }

void VirtualKeyboardEvents::postKeyChord(std::uint16_t keyCode, std::uint64_t flags) {
  const auto evdev = KeyCodeTable::evdevCode(keyCode);
  if (!evdev) return;
  // The compositor may have restarted, or closed this connection over an error.
  if (!keyboard_ || wl_display_get_error(connection_) != 0) {
    disconnect();
    if (const auto error = connect(); !error.empty()) {
      if (onFailure) onFailure("The paste keystroke could not be sent: " + error);
      return;
    }
  }
  // The compositor reads this keyboard's keys with its own modifier state, which holds only what
  // it is told: the user's own keys down elsewhere do not reach the focused application.
  const auto held = keymap_.modifiers(flags);
  for (std::size_t i = 0; i < held.evdevKeys.size(); ++i) {
    key(held.evdevKeys[i], true);
    modifiers(held.depressedAfterEach[i]);
  }
  key(*evdev, true);
  key(*evdev, false);
  for (auto i = held.evdevKeys.size(); i > 0; --i) {
    key(held.evdevKeys[i - 1], false);
    modifiers(i > 1 ? held.depressedAfterEach[i - 2] : 0);
  }
  // Once the compositor has answered, it has handed every key to the focused application.
  if (wl_display_roundtrip(connection_) < 0 && onFailure) {
    onFailure("The paste keystroke could not be sent: " + connectionError());
  }
}

std::string VirtualKeyboardEvents::connect() {
  connection_ = wl_display_connect(display_.empty() ? nullptr : display_.c_str());
  if (!connection_) {
    const char* name = display_.empty() ? std::getenv("WAYLAND_DISPLAY") : display_.c_str();
    return std::string("no Wayland compositor answers at ") + (name ? name : "wayland-0");
  }
  if (!bindSeatGlobals(connection_, zwp_virtual_keyboard_manager_v1_interface, seat_, manager_))
    return connectionError();
  if (!seat_) return "the Wayland compositor has no seat";
  if (!manager_) return "the Wayland compositor offers no virtual keyboard";

  // Made with the object, long before the first paste: on a seat with no other keyboard, each
  // application asks for its keyboard only once this one has appeared, and keys sent before then
  // reach nobody.
  keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat_);
  const int fd = keymapFile(keymap_.text());
  if (fd < 0) return std::string("no memory for the keymap: ") + std::strerror(errno);
  zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                 std::uint32_t(keymap_.text().size() + 1));
  close(fd);
  if (wl_display_roundtrip(connection_) < 0) return connectionError();
  return {};
}

std::string VirtualKeyboardEvents::connectionError() {
  const wl_interface* interface = nullptr;
  std::uint32_t id = 0;
  const auto code = wl_display_get_protocol_error(connection_, &interface, &id);
  if (interface == &zwp_virtual_keyboard_manager_v1_interface &&
      code == ZWP_VIRTUAL_KEYBOARD_MANAGER_V1_ERROR_UNAUTHORIZED) {
    return "the Wayland compositor does not let this program type";
  }
  if (interface) {
    return std::string("the Wayland compositor closed the connection (") + interface->name +
           " error " + std::to_string(code) + ")";
  }
  return std::string("the connection to the Wayland compositor broke: ") +
         std::strerror(wl_display_get_error(connection_));
}

void VirtualKeyboardEvents::disconnect() {
  if (keyboard_) zwp_virtual_keyboard_v1_destroy(keyboard_);
  if (manager_) zwp_virtual_keyboard_manager_v1_destroy(manager_);
  if (seat_) wl_seat_destroy(seat_);
  if (connection_) wl_display_disconnect(connection_);
  keyboard_ = nullptr;
  manager_ = nullptr;
  seat_ = nullptr;
  connection_ = nullptr;
}

void VirtualKeyboardEvents::key(std::uint16_t evdev, bool press) {
  const auto time = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start_);
  zwp_virtual_keyboard_v1_key(
      keyboard_, std::uint32_t(time.count()), evdev,
      press ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void VirtualKeyboardEvents::modifiers(std::uint32_t depressed) {
  zwp_virtual_keyboard_v1_modifiers(keyboard_, depressed, 0, 0, 0);
}

}  // namespace vellotype
