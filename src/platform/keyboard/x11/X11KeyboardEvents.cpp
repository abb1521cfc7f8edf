#include "platform/keyboard/x11/X11KeyboardEvents.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

#include "platform/x11/XcbReply.h"

// xkb.h names a struct member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include "platform/keyboard/KeyCodeTable.h"
#include "platform/keyboard/x11/KeySymbolMap.h"
#include "platform/keyboard/x11/X11EventTap.h"
#include "platform/keyboard/x11/X11FocusedClient.h"

namespace vellotype {
namespace {

constexpr std::uint16_t kEvdevOffset = 8;
constexpr std::uint16_t kVKeyCode = 9;
constexpr std::uint32_t kKeysymV = 0x76;  // XK_v

}  // namespace

X11KeyboardEvents::X11KeyboardEvents(X11EventTap& tap, std::string display)
    : tap_(tap), display_(std::move(display)) {}

X11KeyboardEvents::~X11KeyboardEvents() { disconnect(); }

std::vector<std::string> X11KeyboardEvents::focusedWindowClasses() {
  if (!connected()) return {};
  return X11FocusedClient(connection_, root_).classes();
}

void X11KeyboardEvents::postKeyChord(std::uint16_t keyCode, std::uint64_t flags) {
  if (!connected()) return;
  const auto keycode = chordKeycode(keyCode);
  if (!keycode) return;
  const auto steps = KeyChordPlan::steps(heldKeys(), modifierMap(), flags, *keycode);

  auto* c = connection_;
  tap_.suspend();
  for (const auto& step : steps) {
    xcb_test_fake_input(c, step.press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, step.keycode,
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  }
  // The server generates every event of a fake input while handling its request: once this
  // reply is here, all of the chord's events exist.
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  tap_.resume();
}

bool X11KeyboardEvents::connected() {
  if (connection_ && !xcb_connection_has_error(connection_)) return true;
  // The server may have gone away and come back (a new session on the same display).
  disconnect();
  int screen = 0;
  auto* c = xcb_connect(display_.empty() ? nullptr : display_.c_str(), &screen);
  connection_ = c;
  if (xcb_connection_has_error(c)) return false;
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (; screen > 0 && roots.rem > 1; --screen) xcb_screen_next(&roots);
  root_ = roots.data->root;

  const auto* xtest = xcb_get_extension_data(c, &xcb_test_id);
  const XcbPtr<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
      c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
  if (xtest && xtest->present && xkb && xkb->supported) return true;
  disconnect();
  return false;
}

void X11KeyboardEvents::disconnect() {
  if (connection_) xcb_disconnect(connection_);
  connection_ = nullptr;
}

std::optional<std::uint8_t> X11KeyboardEvents::chordKeycode(std::uint16_t keyCode) {
  const auto evdev = KeyCodeTable::evdevCode(keyCode);
  const auto* setup = xcb_get_setup(connection_);
  if (!evdev || *evdev + kEvdevOffset > setup->max_keycode) return std::nullopt;
  const auto position = std::uint8_t(*evdev + kEvdevOffset);
  // Control+V means the key that types "v", wherever the layout puts it (Dvorak, AZERTY); a
  // layout without one (Russian alone) gets the key where V would be.
  if (keyCode == kVKeyCode) return keycodeTypingV(position).value_or(position);
  return position;
}

std::optional<std::uint8_t> X11KeyboardEvents::keycodeTypingV(std::uint8_t position) {
  auto* c = connection_;
  const auto* setup = xcb_get_setup(c);
  const auto first = setup->min_keycode;
  const auto count = std::uint8_t(setup->max_keycode - first + 1);
  const auto stateCookie = xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD);
  const auto mapCookie = xcb_xkb_get_map(c, XCB_XKB_ID_USE_CORE_KBD, 0, XCB_XKB_MAP_PART_KEY_SYMS,
                                         0, 0, first, count, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const XcbPtr<xcb_xkb_get_state_reply_t> state(xcb_xkb_get_state_reply(c, stateCookie, nullptr));
  const XcbPtr<xcb_xkb_get_map_reply_t> map(xcb_xkb_get_map_reply(c, mapCookie, nullptr));
  if (!state || !map) return std::nullopt;

  xcb_xkb_get_map_map_t parts;
  xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(map.get()), map->nTypes, map->nKeySyms,
                             map->nKeyActions, map->totalActions, map->totalKeyBehaviors,
                             map->virtualMods, map->totalKeyExplicit, map->totalModMapKeys,
                             map->totalVModMapKeys, map->present, &parts);
  std::vector<KeySymbolMap::Key> keys;
  auto keycode = map->firstKeySym;
  for (auto it = xcb_xkb_get_map_map_syms_rtrn_iterator(map.get(), &parts); it.rem > 0;
       xcb_xkb_key_sym_map_next(&it), ++keycode) {
    const auto* symbols = xcb_xkb_key_sym_map_syms(it.data);
    const auto length = xcb_xkb_key_sym_map_syms_length(it.data);
    keys.push_back({keycode, it.data->groupInfo, it.data->width,
                    std::vector<std::uint32_t>(symbols, symbols + length)});
  }
  return KeySymbolMap(std::move(keys)).keycodeTyping(kKeysymV, state->group, position);
}

std::bitset<256> X11KeyboardEvents::heldKeys() {
  auto* c = connection_;
  std::bitset<256> held;
  const XcbPtr<xcb_query_keymap_reply_t> keymap(
      xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
  if (!keymap) return held;
  for (std::size_t k = 0; k < held.size(); ++k) {
    held[k] = (keymap->keys[k / 8] >> (k % 8)) & 1;
  }
  return held;
}

KeyChordPlan::ModifierMap X11KeyboardEvents::modifierMap() {
  auto* c = connection_;
  KeyChordPlan::ModifierMap modifiers;
  const XcbPtr<xcb_get_modifier_mapping_reply_t> mapping(
      xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
  if (!mapping) return modifiers;
  const auto* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
  const std::size_t perModifier = mapping->keycodes_per_modifier;
  for (std::size_t row = 0; row < modifiers.size(); ++row) {
    modifiers[row].assign(keycodes + row * perModifier, keycodes + (row + 1) * perModifier);
  }
  return modifiers;
}

}  // namespace vellotype
