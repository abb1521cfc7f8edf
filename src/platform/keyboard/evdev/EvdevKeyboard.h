#pragma once
// One keyboard's stream of kernel input events, reduced to the key transitions the user makes
// on it, and the keys it holds. Lives on the evdev tap's thread; owned by EvdevEventTap, one for
// each open device.

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace vellotype {

class EvdevKeyboard {
 public:
  struct Change {
    enum class Kind { press, repeat, release };
    std::uint16_t code;  // evdev key code
    Kind kind;
  };

  // Takes over `fd`, an open event device or anything that delivers the same records.
  EvdevKeyboard(std::string path, int fd);
  ~EvdevKeyboard();
  EvdevKeyboard(const EvdevKeyboard&) = delete;
  EvdevKeyboard& operator=(const EvdevKeyboard&) = delete;

  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  bool holds(std::uint16_t code) const { return code < held_.size() && held_[code]; }

  // One read of what has arrived, its changes appended to `changes`. False once the device is
  // gone; its held keys have then been appended as released.
  bool read(std::vector<Change>& changes);

 private:
  void take(std::uint16_t type, std::uint16_t code, std::int32_t value,
            std::vector<Change>& changes);
  void resynchronise(std::vector<Change>& changes);
  void release(std::uint16_t code, std::vector<Change>& changes);

  const std::string path_;
  const int fd_;
  // Keys whose press was seen. Repeats and the release of any other key (held when the device
  // was opened) are left out: they would look like a press the user never made.
  std::bitset<0x300> held_;
  // The kernel dropped events: what follows up to the next report is incomplete.
  bool dropping_ = false;
};

}  // namespace vellotype
