#include "platform/keyboard/evdev/EvdevKeyboard.h"

#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace vellotype {
namespace {

static_assert(KEY_CNT == 0x300);

constexpr std::size_t kLongBits = sizeof(unsigned long) * CHAR_BIT;
constexpr std::size_t kBatch = 64;

}  // namespace

EvdevKeyboard::EvdevKeyboard(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

EvdevKeyboard::~EvdevKeyboard() { close(fd_); }

bool EvdevKeyboard::read(std::vector<Change>& changes) {
  input_event events[kBatch];
  const auto got = ::read(fd_, events, sizeof events);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  // ENODEV once unplugged; a closed stream reads as its end.
  if (got <= 0) {
    for (std::uint16_t code = 0; code < held_.size(); ++code) release(code, changes);
    return false;
  }
  for (std::size_t i = 0; i < std::size_t(got) / sizeof events[0]; ++i) {
    take(events[i].type, events[i].code, events[i].value, changes);
  }
  return true;
}

void EvdevKeyboard::take(std::uint16_t type, std::uint16_t code, std::int32_t value,
                         std::vector<Change>& changes) {
  if (type == EV_SYN && code == SYN_DROPPED) dropping_ = true;
  if (dropping_) {
    if (type == EV_SYN && code == SYN_REPORT) {
      dropping_ = false;
      resynchronise(changes);
    }
    return;
  }
  if (type != EV_KEY || code >= held_.size()) return;
  if (value == 1) {
    held_.set(code);
    changes.push_back({code, Change::Kind::press});
  } else if (value == 2 && held_[code]) {
    changes.push_back({code, Change::Kind::repeat});
  } else if (value == 0) {
    release(code, changes);
  }
}

void EvdevKeyboard::resynchronise(std::vector<Change>& changes) {
  // A release may have been among the dropped events, and a key left held would hold the
  // recording it started. Keys no longer down are released; a key pressed meanwhile waits for
  // its next press, as one held at opening does. Without the device's state, nothing is held.
  unsigned long down[KEY_CNT / kLongBits] = {};
  if (ioctl(fd_, EVIOCGKEY(sizeof down), down) < 0) std::fill(std::begin(down), std::end(down), 0);
  for (std::uint16_t code = 0; code < held_.size(); ++code) {
    if (!((down[code / kLongBits] >> (code % kLongBits)) & 1)) release(code, changes);
  }
}

void EvdevKeyboard::release(std::uint16_t code, std::vector<Change>& changes) {
  if (!held_[code]) return;
  held_.reset(code);
  changes.push_back({code, Change::Kind::release});
}

}  // namespace vellotype
