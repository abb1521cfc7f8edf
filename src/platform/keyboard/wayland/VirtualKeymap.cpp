#include "platform/keyboard/wayland/VirtualKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <memory>

#include "platform/keyboard/KeyCodeTable.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

template <typename T, void (*release)(T*)>
struct Releaser {
  void operator()(T* p) const { release(p); }
};
using Context = std::unique_ptr<xkb_context, Releaser<xkb_context, xkb_context_unref>>;
using Keymap = std::unique_ptr<xkb_keymap, Releaser<xkb_keymap, xkb_keymap_unref>>;

std::uint32_t maskOf(xkb_keymap* keymap, const char* name) {
  const auto index = xkb_keymap_mod_get_index(keymap, name);
  return index == XKB_MOD_INVALID ? 0 : std::uint32_t(1) << index;
}

}  // namespace

std::optional<VirtualKeymap> VirtualKeymap::compile(const std::string& layout, std::string& error) {
  // The user's XKB_DEFAULT_* variables must not turn this into their own layout.
  const Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
  const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
  const Keymap keymap(
      context ? xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS)
              : nullptr);
  if (!keymap) {
    error =
        "no keyboard layout \"" + layout + "\" for the virtual keyboard (is xkb-data installed?)";
    return std::nullopt;
  }
  VirtualKeymap result;
  const std::unique_ptr<char, decltype(&std::free)> text(
      xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
  result.text_ = text ? text.get() : "";
  result.control_ = maskOf(keymap.get(), XKB_MOD_NAME_CTRL);
  result.shift_ = maskOf(keymap.get(), XKB_MOD_NAME_SHIFT);
  result.alt_ = maskOf(keymap.get(), XKB_MOD_NAME_ALT);
  result.super_ = maskOf(keymap.get(), XKB_MOD_NAME_LOGO);
  return result;
}

VirtualKeymap::Modifiers VirtualKeymap::modifiers(std::uint64_t flags) const {
  struct Wanted {
    std::uint64_t flag;
    std::uint16_t macKeyCode;  // the left-hand key
    std::uint32_t mask;
  };
  const std::array<Wanted, 4> all{{{modifiers::kControl, 0x3B, control_},
                                   {modifiers::kShift, 0x38, shift_},
                                   {modifiers::kOption, 0x3A, alt_},
                                   {modifiers::kCommand, 0x37, super_}}};
  Modifiers modifiers;
  std::uint32_t depressed = 0;
  for (const auto& wanted : all) {
    const auto evdev = KeyCodeTable::evdevCode(wanted.macKeyCode);
    if ((flags & wanted.flag) == 0 || !evdev || wanted.mask == 0) continue;
    depressed |= wanted.mask;
    modifiers.evdevKeys.push_back(*evdev);
    modifiers.depressedAfterEach.push_back(depressed);
  }
  return modifiers;
}

}  // namespace vellotype
