#include "platform/keyboard/portal/PortalKeysyms.h"

#include <xkbcommon/xkbcommon.h>

#include <array>

#include "platform/keyboard/KeyCodeTable.h"

namespace vellotype {

PortalKeysyms::PortalKeysyms() {
  // The US layout whatever XKB_DEFAULT_* says: a shortcut names its key by the base layer, and
  // the compositor finds the key that types a keysym in the user's own layout.
  context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  if (!context_) return;
  const xkb_rule_names names{
      .rules = nullptr, .model = nullptr, .layout = "us", .variant = "", .options = ""};
  keymap_ = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

PortalKeysyms::~PortalKeysyms() {
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

std::optional<std::uint32_t> PortalKeysyms::keysym(std::uint16_t keyCode) const {
  const auto evdev = KeyCodeTable::evdevCode(keyCode);
  if (!keymap_ || !evdev) return std::nullopt;
  const xkb_keysym_t* symbols = nullptr;
  // XKB numbers keys as X11 does: the evdev code plus 8.
  if (xkb_keymap_key_get_syms_by_level(keymap_, *evdev + 8, 0, 0, &symbols) < 1) {
    return std::nullopt;
  }
  return symbols[0];
}

std::optional<std::string> PortalKeysyms::name(std::uint16_t keyCode) const {
  const auto symbol = keysym(keyCode);
  if (!symbol) return std::nullopt;
  std::array<char, 64> text{};
  if (xkb_keysym_get_name(*symbol, text.data(), text.size()) <= 0) return std::nullopt;
  return std::string(text.data());
}

std::uint16_t PortalKeysyms::keyCode(const TriggerKey& trigger) {
  if (trigger.kind == TriggerKey::Kind::keyCode || trigger.keyCode != 0 || !trigger.modifier) {
    return trigger.keyCode;
  }
  return leftKeyCode(*trigger.modifier);
}

std::uint16_t PortalKeysyms::leftKeyCode(TriggerKey::Modifier modifier) {
  switch (modifier) {
    case TriggerKey::Modifier::control:
      return 0x3B;
    case TriggerKey::Modifier::option:
      return 0x3A;
    case TriggerKey::Modifier::command:
      return 0x37;
    case TriggerKey::Modifier::shift:
      return 0x38;
    case TriggerKey::Modifier::function:
      break;
  }
  return 0x3F;
}

}  // namespace vellotype
