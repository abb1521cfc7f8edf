#include "platform/keyboard/uinput/UinputKeyboardEvents.h"

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/keyboard/KeyCodeTable.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

// The canonical modifier bits and the left-hand keys that give them.
constexpr std::pair<std::uint64_t, std::uint16_t> kModifiers[] = {
    {modifiers::kControl, KEY_LEFTCTRL},
    {modifiers::kShift, KEY_LEFTSHIFT},
    {modifiers::kOption, KEY_LEFTALT},
    {modifiers::kCommand, KEY_LEFTMETA}};

}  // namespace

UinputKeyboardEvents::UinputKeyboardEvents(const std::string& path, KeyResolver resolver)
    : resolver_(std::move(resolver)) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    problem_ =
        errno == EACCES || errno == EPERM
            ? "Vellotype may not write to " + path + ": see \"Pasting on Wayland\" in the README."
            : path + " could not be opened: " + std::strerror(errno) + ".";
    return;
  }
  // Every key: the one that types "v" depends on the layout.
  bool ready = ::ioctl(fd_, UI_SET_EVBIT, EV_KEY) == 0;
  for (int key = KEY_ESC; ready && key < KEY_MICMUTE; ++key) {
    ready = ::ioctl(fd_, UI_SET_KEYBIT, key) == 0;
  }
  uinput_setup setup{};
  setup.id.bustype = BUS_VIRTUAL;
  std::strncpy(setup.name, kDeviceName, UINPUT_MAX_NAME_SIZE - 1);
  ready = ready && ::ioctl(fd_, UI_DEV_SETUP, &setup) == 0 && ::ioctl(fd_, UI_DEV_CREATE) == 0;
  if (!ready) {
    problem_ = path + " would not make a keyboard: " + std::strerror(errno) + ".";
    ::close(fd_);
    fd_ = -1;
    return;
  }
  ownsDevice_ = true;
}

UinputKeyboardEvents::UinputKeyboardEvents(int fd, KeyResolver resolver)
    : fd_(fd), resolver_(std::move(resolver)) {}

UinputKeyboardEvents::~UinputKeyboardEvents() {
  if (!ownsDevice_) return;
  ::ioctl(fd_, UI_DEV_DESTROY);
  ::close(fd_);
}

void UinputKeyboardEvents::postKeyChord(std::uint16_t keyCode, std::uint64_t flags) {
  if (fd_ < 0) return;
  auto key = resolver_ ? resolver_(keyCode) : std::nullopt;
  if (!key) key = KeyCodeTable::evdevCode(keyCode);
  if (!key) return;
  for (const auto& [flag, modifier] : kModifiers) {
    if (flags & flag) sendEvent(EV_KEY, modifier, 1);
  }
  sendEvent(EV_KEY, *key, 1);
  sendEvent(EV_KEY, *key, 0);
  for (auto it = std::rbegin(kModifiers); it != std::rend(kModifiers); ++it) {
    if (flags & it->first) sendEvent(EV_KEY, it->second, 0);
  }
}

void UinputKeyboardEvents::sendEvent(std::uint16_t type, std::uint16_t code, std::int32_t value) {
  // Each change is a report of its own, as a real keyboard sends it.
  const input_event events[] = {{{}, type, code, value}, {{}, EV_SYN, SYN_REPORT, 0}};
  [[maybe_unused]] const auto written = ::write(fd_, events, sizeof events);
}

}  // namespace vellotype
