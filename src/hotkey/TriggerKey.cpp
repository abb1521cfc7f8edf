#include "hotkey/TriggerKey.h"

#include <algorithm>

#include "platform/PreferenceKeys.h"
#include "text/UnicodeText.h"

namespace vellotype {
namespace {

struct ModifierInfo {
  TriggerKey::Modifier modifier;
  std::string_view rawValue;
  std::string_view genericName;
  std::uint64_t flagMask;
};

constexpr std::array<ModifierInfo, 5> kModifiers = {{
    {TriggerKey::Modifier::control, "control", "Control", 0x40000},
    {TriggerKey::Modifier::option, "option", "Option", 0x80000},
    {TriggerKey::Modifier::command, "command", "Command", 0x100000},
    {TriggerKey::Modifier::shift, "shift", "Shift", 0x20000},
    {TriggerKey::Modifier::function, "function", "Fn", 0x800000},
}};

const ModifierInfo& info(TriggerKey::Modifier modifier) {
  return *std::find_if(kModifiers.begin(), kModifiers.end(),
                       [&](const ModifierInfo& i) { return i.modifier == modifier; });
}

struct SideKey {
  std::uint16_t keyCode;
  TriggerKey::Modifier modifier;
  std::string_view name;
};

// Caps Lock (57) sits inside this range of key codes but is never a trigger.
constexpr std::array<SideKey, 9> kSideKeys = {{
    {54, TriggerKey::Modifier::command, "Right Command"},
    {55, TriggerKey::Modifier::command, "Left Command"},
    {56, TriggerKey::Modifier::shift, "Left Shift"},
    {58, TriggerKey::Modifier::option, "Left Option"},
    {59, TriggerKey::Modifier::control, "Left Control"},
    {60, TriggerKey::Modifier::shift, "Right Shift"},
    {61, TriggerKey::Modifier::option, "Right Option"},
    {62, TriggerKey::Modifier::control, "Right Control"},
    {63, TriggerKey::Modifier::function, "Fn"},
}};

constexpr std::array<std::pair<std::uint16_t, std::string_view>, 25> kSpecialKeys = {{
    {36, "Return"},    {48, "Tab"},         {49, "Space"},        {51, "Delete"},
    {53, "Escape"},    {96, "F5"},          {97, "F6"},           {98, "F7"},
    {99, "F3"},        {100, "F8"},         {101, "F9"},          {103, "F11"},
    {105, "F13"},      {106, "F16"},        {107, "F14"},         {109, "F10"},
    {111, "F12"},      {113, "F15"},        {118, "F4"},          {120, "F2"},
    {122, "F1"},       {123, "Left Arrow"}, {124, "Right Arrow"}, {125, "Down Arrow"},
    {126, "Up Arrow"},
}};

std::optional<std::uint16_t> storedKeyCode(const Preferences& preferences) {
  const auto code = preferences.integerValue(prefs::kTriggerKeyCode);
  if (!code) {
    // Absent is 0, a modifier on either side; a value that is there but no number names no key
    // (it would read as 0, the A key).
    const bool present = preferences.stringValue(prefs::kTriggerKeyCode) ||
                         preferences.boolValue(prefs::kTriggerKeyCode);
    return present ? std::nullopt : std::optional<std::uint16_t>(0);
  }
  if (*code < 0 || *code > 0xFFFF) return std::nullopt;
  return std::uint16_t(*code);
}

}  // namespace

std::string_view rawValue(TriggerKey::Kind kind) {
  return kind == TriggerKey::Kind::modifier ? "modifier" : "keyCode";
}

std::string_view rawValue(TriggerKey::Modifier modifier) { return info(modifier).rawValue; }

std::optional<TriggerKey::Kind> kindFromRawValue(std::string_view raw) {
  if (raw == "modifier") return TriggerKey::Kind::modifier;
  if (raw == "keyCode") return TriggerKey::Kind::keyCode;
  return std::nullopt;
}

std::optional<TriggerKey::Modifier> modifierFromRawValue(std::string_view raw) {
  for (const auto& i : kModifiers) {
    if (i.rawValue == raw) return i.modifier;
  }
  return std::nullopt;
}

std::string_view genericDisplayName(TriggerKey::Modifier modifier) {
  return info(modifier).genericName;
}

std::uint64_t flagMask(TriggerKey::Modifier modifier) { return info(modifier).flagMask; }

TriggerKey TriggerKey::load(const Preferences& preferences) {
  const auto kindText = preferences.stringValue(prefs::kTriggerKeyKind);
  const auto kind = kindText ? kindFromRawValue(*kindText) : std::nullopt;
  if (!kind) return defaultKey();

  std::optional<Modifier> modifier;
  if (*kind == Kind::modifier) {
    const auto modifierText = preferences.stringValue(prefs::kTriggerKeyModifier);
    modifier = modifierText ? modifierFromRawValue(*modifierText) : std::nullopt;
    if (!modifier) return defaultKey();
  }

  // The program never stores a code outside 16 bits, nor one that is no number; such a value was
  // not written by it and names no key, so it is treated like any other unusable value.
  const auto keyCode = storedKeyCode(preferences);
  if (!keyCode) return defaultKey();

  auto name = preferences.stringValue(prefs::kTriggerKeyDisplayName);
  // An empty name would leave the menu item reading "Hotkey: ...": it names nothing, like none.
  if (!name || name->empty()) {
    name =
        modifier ? std::string(genericDisplayName(*modifier)) : "Key " + std::to_string(*keyCode);
  }
  return {*kind, modifier, *keyCode, std::move(*name)};
}

void TriggerKey::save(Preferences& preferences) const {
  preferences.setString(prefs::kTriggerKeyKind, rawValue(kind));
  preferences.setString(prefs::kTriggerKeyDisplayName, displayName);
  if (kind == Kind::keyCode) {
    preferences.setInteger(prefs::kTriggerKeyCode, keyCode);
    preferences.remove(prefs::kTriggerKeyModifier);
    return;
  }
  if (modifier) {
    preferences.setString(prefs::kTriggerKeyModifier, rawValue(*modifier));
  } else {
    preferences.remove(prefs::kTriggerKeyModifier);
  }
  preferences.setInteger(prefs::kTriggerKeyCode, keyCode);
}

std::optional<TriggerKey> TriggerKey::captured(const KeyEvent& event) {
  switch (event.type) {
    case KeyEvent::Type::keyDown:
      return TriggerKey{Kind::keyCode, std::nullopt, event.keyCode, displayNameFor(event)};
    case KeyEvent::Type::flagsChanged: {
      auto side = modifierKey(event.keyCode);
      if (!side || (event.modifierFlags & flagMask(side->first)) == 0) return std::nullopt;
      return TriggerKey{Kind::modifier, side->first, event.keyCode, std::move(side->second)};
    }
    default:
      return std::nullopt;
  }
}

std::optional<std::pair<TriggerKey::Modifier, std::string>> TriggerKey::modifierKey(
    std::uint16_t keyCode) {
  for (const auto& side : kSideKeys) {
    if (side.keyCode == keyCode) return std::pair{side.modifier, std::string(side.name)};
  }
  return std::nullopt;
}

std::optional<std::string> TriggerKey::specialKeyName(std::uint16_t keyCode) {
  for (const auto& [code, name] : kSpecialKeys) {
    if (code == keyCode) return std::string(name);
  }
  return std::nullopt;
}

std::string TriggerKey::displayNameFor(const KeyEvent& event) {
  if (auto name = specialKeyName(event.keyCode)) return *name;
  const auto& characters = event.charactersIgnoringModifiers;
  if (characters && !characters->empty()) return text::uppercased(*characters);
  return "Key " + std::to_string(event.keyCode);
}

}  // namespace vellotype
