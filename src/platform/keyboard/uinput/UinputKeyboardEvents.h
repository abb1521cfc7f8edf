#pragma once
// Synthetic keystrokes through the kernel's /dev/uinput: a keyboard of the program's own, which
// every compositor reads. The last way to paste on Wayland; it needs write access to
// /dev/uinput (the udev rule the README gives). Main thread only; owned by the composition root.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/KeyboardEvents.h"

namespace vellotype {

class UinputKeyboardEvents : public KeyboardEvents {
 public:
  // The program's own key filters know its keyboard by this name and never listen to it.
  static constexpr const char* kDeviceName = "Vellotype paste keyboard";
  // The Linux key that types a canonical key in the user's layout now ("v" sits elsewhere on
  // Dvorak); nothing when it cannot be told, and the key's US position is used.
  using KeyResolver = std::function<std::optional<std::uint16_t>(std::uint16_t keyCode)>;

  // Creates the keyboard at once: a compositor takes a moment to notice a new device, and the
  // first paste must not fall into that moment.
  explicit UinputKeyboardEvents(const std::string& path = "/dev/uinput", KeyResolver resolver = {});
  // Writes the events to an open `fd` rather than to a keyboard of its own: for tests.
  UinputKeyboardEvents(int fd, KeyResolver resolver);
  ~UinputKeyboardEvents() override;
  UinputKeyboardEvents(const UinputKeyboardEvents&) = delete;
  UinputKeyboardEvents& operator=(const UinputKeyboardEvents&) = delete;

  bool isAvailable() const { return fd_ >= 0; }
  // Why the keyboard could not be made, ready to show.
  const std::string& problem() const { return problem_; }

  // Wayland tells no client which window has the focus.
  std::vector<std::string> focusedWindowClasses() override { return {}; }
  // The modifiers go down, then the key; the key comes up, then the modifiers, so that none is
  // left down.
  void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) override;

 private:
  void sendEvent(std::uint16_t type, std::uint16_t code, std::int32_t value);

  int fd_ = -1;
  bool ownsDevice_ = false;
  KeyResolver resolver_;
  std::string problem_;
};

}  // namespace vellotype
