#include "hotkey/TriggerKeyPreferences.h"

#include "platform/PreferenceKeys.h"

namespace vellotype {
namespace {

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

TriggerKey TriggerKeyPreferences::load(const Preferences& preferences) {
  const auto kindText = preferences.stringValue(prefs::kTriggerKeyKind);
  const auto kind = kindText ? kindFromRawValue(*kindText) : std::nullopt;
  if (!kind) return TriggerKey::defaultKey();

  std::optional<TriggerKey::Modifier> modifier;
  if (*kind == TriggerKey::Kind::modifier) {
    const auto modifierText = preferences.stringValue(prefs::kTriggerKeyModifier);
    modifier = modifierText ? modifierFromRawValue(*modifierText) : std::nullopt;
    if (!modifier) return TriggerKey::defaultKey();
  }

  // The program never stores a code outside 16 bits, nor one that is no number; such a value was
  // not written by it and names no key, so it is treated like any other unusable value.
  const auto keyCode = storedKeyCode(preferences);
  if (!keyCode) return TriggerKey::defaultKey();

  auto name = preferences.stringValue(prefs::kTriggerKeyDisplayName);
  // An empty name would leave the menu item reading "Hotkey: ...": it names nothing, like none.
  if (!name || name->empty()) {
    name =
        modifier ? std::string(genericDisplayName(*modifier)) : "Key " + std::to_string(*keyCode);
  }
  return {*kind, modifier, *keyCode, std::move(*name)};
}

void TriggerKeyPreferences::save(const TriggerKey& key, Preferences& preferences) {
  preferences.setString(prefs::kTriggerKeyKind, rawValue(key.kind));
  preferences.setString(prefs::kTriggerKeyDisplayName, key.displayName);
  if (key.kind == TriggerKey::Kind::keyCode) {
    preferences.setInteger(prefs::kTriggerKeyCode, key.keyCode);
    preferences.remove(prefs::kTriggerKeyModifier);
    return;
  }
  if (key.modifier) {
    preferences.setString(prefs::kTriggerKeyModifier, rawValue(*key.modifier));
  } else {
    preferences.remove(prefs::kTriggerKeyModifier);
  }
  preferences.setInteger(prefs::kTriggerKeyCode, key.keyCode);
}

}  // namespace vellotype
