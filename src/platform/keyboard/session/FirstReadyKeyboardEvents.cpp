#include "platform/keyboard/session/FirstReadyKeyboardEvents.h"

namespace vellotype {

FirstReadyKeyboardEvents::FirstReadyKeyboardEvents(std::vector<Way> ways)
    : ways_(std::move(ways)) {}

const FirstReadyKeyboardEvents::Way* FirstReadyKeyboardEvents::ready() const {
  for (const auto& way : ways_) {
    if (!way.isReady || way.isReady()) return &way;
  }
  return nullptr;
}

std::vector<std::string> FirstReadyKeyboardEvents::focusedWindowClasses() {
  const auto* way = ready();
  return way ? way->keyboard->focusedWindowClasses() : std::vector<std::string>{};
}

void FirstReadyKeyboardEvents::postKeyChord(std::uint16_t keyCode, std::uint64_t flags) {
  if (const auto* way = ready()) way->keyboard->postKeyChord(keyCode, flags);
}

std::string FirstReadyKeyboardEvents::readyName() const {
  const auto* way = ready();
  return way ? way->name : std::string();
}

}  // namespace vellotype
