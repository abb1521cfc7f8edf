#include "platform/keyboard/x11/KeySymbolMap.h"

namespace vellotype {
namespace {

// XKB's rules for a group number beyond a key's own groups.
constexpr std::uint8_t kOutOfRangeMask = 0xC0, kClamp = 0x40, kRedirect = 0x80;

std::optional<std::uint8_t> keyGroup(const KeySymbolMap::Key& key, std::uint8_t group) {
  const std::uint8_t count = key.groupInfo & 0x0F;
  if (count == 0) return std::nullopt;
  if (group < count) return group;
  switch (key.groupInfo & kOutOfRangeMask) {
    case kClamp:
      return std::uint8_t(count - 1);
    case kRedirect: {
      const std::uint8_t target = (key.groupInfo >> 4) & 0x03;
      return target < count ? target : 0;
    }
    default:
      return std::uint8_t(group % count);
  }
}

}  // namespace

std::optional<std::uint8_t> KeySymbolMap::keycodeTyping(std::uint32_t keysym, std::uint8_t group,
                                                        std::uint8_t preferred) const {
  std::optional<std::uint8_t> found;
  for (const auto& key : keys_) {
    const auto g = keyGroup(key, group);
    if (!g || key.width == 0) continue;
    const std::size_t index = std::size_t(*g) * key.width;
    if (index >= key.symbols.size() || key.symbols[index] != keysym) continue;
    if (key.keycode == preferred) return preferred;
    if (!found) found = key.keycode;
  }
  return found;
}

}  // namespace vellotype
