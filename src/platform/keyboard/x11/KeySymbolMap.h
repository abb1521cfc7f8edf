#pragma once
// Which key types a given symbol in a given layout group, from the keyboard's XKB symbol map, so
// that a shortcut is sent on the key that means it in the layout in use. Pure logic, any thread;
// built and used by X11KeyboardEvents.

#include <cstdint>
#include <optional>
#include <vector>

namespace vellotype {

class KeySymbolMap {
 public:
  struct Key {
    std::uint8_t keycode;
    std::uint8_t groupInfo;  // XKB's: how many groups the key has, and where a group past them goes
    std::uint8_t width;      // symbols per group, one per shift level
    std::vector<std::uint32_t> symbols;  // group after group
  };

  explicit KeySymbolMap(std::vector<Key> keys) : keys_(std::move(keys)) {}

  // The key whose first level is `keysym` in `group`: `preferred` when it is one of them.
  std::optional<std::uint8_t> keycodeTyping(std::uint32_t keysym, std::uint8_t group,
                                            std::uint8_t preferred) const;

 private:
  std::vector<Key> keys_;
};

}  // namespace vellotype
