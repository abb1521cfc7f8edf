#include "platform/keyboard/evdev/EvdevKeyboardOpener.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>

#include "platform/keyboard/uinput/UinputKeyboardEvents.h"

namespace vellotype {
namespace {

constexpr std::size_t kLongBits = sizeof(unsigned long) * CHAR_BIT;

// The kernel fills these as arrays of longs, so bits are counted within longs, not bytes.
template <std::size_t kCount>
struct BitArray {
  unsigned long words[(kCount + kLongBits - 1) / kLongBits] = {};
  bool has(unsigned bit) const { return (words[bit / kLongBits] >> (bit % kLongBits)) & 1; }
};

bool isKeyboard(int fd) {
  // The program's own paste keyboard types Control+V: the key monitor must never hear it.
  char name[256] = {};
  if (ioctl(fd, EVIOCGNAME(sizeof name - 1), name) >= 0 &&
      std::string_view(name) == UinputKeyboardEvents::kDeviceName) {
    return false;
  }
  BitArray<EV_CNT> types;
  BitArray<KEY_CNT> keys;
  if (ioctl(fd, EVIOCGBIT(0, sizeof types.words), types.words) < 0) return false;
  if (!types.has(EV_KEY)) return false;
  if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof keys.words), keys.words) < 0) return false;
  return keys.has(KEY_A) && keys.has(KEY_Z);
}

}  // namespace

EvdevKeyboardOpener::Opened EvdevKeyboardOpener::open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    // A node is created before udev lets the input group read it: that is a denial too.
    const bool denied = errno == EACCES || errno == EPERM;
    return {denied ? Opened::Outcome::denied : Opened::Outcome::notKeyboard, -1};
  }
  if (!isKeyboard(fd)) {
    close(fd);
    return {};
  }
  return {Opened::Outcome::keyboard, fd};
}

}  // namespace vellotype
