#pragma once
// Synthetic keystrokes on wlroots compositors (sway, Hyprland, river...): the paste chord through
// a virtual keyboard on a Wayland connection of its own, which carries its own keymap. Main thread
// only; owned by the composition root.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/KeyboardEvents.h"
#include "platform/keyboard/wayland/VirtualKeymap.h"

struct wl_display;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace vellotype {

class VirtualKeyboardEvents : public KeyboardEvents {
 public:
  // `display` as wl_display_connect takes it (a name or a path); empty means $WAYLAND_DISPLAY.
  // `layout`: what the keys type, as XKB names it; in the US layout the V key types "v", as the
  // paste chord needs whatever layout the user has. Nothing when no compositor answers there or
  // it offers no virtual keyboard, so that the caller can paste another way; `error` then says
  // why.
  static std::unique_ptr<VirtualKeyboardEvents> create(const std::string& display,
                                                       std::string& error,
                                                       const std::string& layout = "us");
  ~VirtualKeyboardEvents() override;
  VirtualKeyboardEvents(const VirtualKeyboardEvents&) = delete;
  VirtualKeyboardEvents& operator=(const VirtualKeyboardEvents&) = delete;

  // Wayland tells clients nothing about other clients' windows.
  std::vector<std::string> focusedWindowClasses() override { return {}; }
  void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) override;

  // Why a chord could not be posted, ready to show; the next chord tries a new connection.
  std::function<void(const std::string& reason)> onFailure;

 private:
  VirtualKeyboardEvents(std::string display, VirtualKeymap keymap);
  std::string connect();
  std::string connectionError();
  void disconnect();
  void key(std::uint16_t evdev, bool press);
  void modifiers(std::uint32_t depressed);

  const std::string display_;
  const VirtualKeymap keymap_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  wl_display* connection_ = nullptr;
  wl_seat* seat_ = nullptr;
  zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
  zwp_virtual_keyboard_v1* keyboard_ = nullptr;
};

}  // namespace vellotype
