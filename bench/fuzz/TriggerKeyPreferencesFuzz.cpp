// The trigger key loaded from whatever a hand-edited preferences file holds: it never crashes,
// the key is always usable, and saving it loads it back the same.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes/FakePreferences.h"
#include "hotkey/TriggerKeyPreferences.h"
#include "platform/PreferenceKeys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vellotype;
  // Four values, each a type byte (text or number) and a length-prefixed text, or a number.
  FakePreferences stored;
  const std::string_view keys[] = {prefs::kTriggerKeyKind, prefs::kTriggerKeyCode,
                                   prefs::kTriggerKeyModifier, prefs::kTriggerKeyDisplayName};
  std::size_t at = 0;
  for (const auto key : keys) {
    if (at + 2 > size) break;
    const auto type = data[at++] % 3;
    const std::size_t length = std::min<std::size_t>(data[at++], size - at);
    const std::string text(reinterpret_cast<const char*>(data + at), length);
    at += length;
    if (type == 0) stored.setString(key, text);
    if (type == 1) stored.setInteger(key, std::int64_t(std::hash<std::string>()(text)) % 70000 - 1);
  }
  const auto key = TriggerKeyPreferences::load(stored);
  if (key.kind == TriggerKey::Kind::modifier && !key.modifier) __builtin_trap();
  if (key.kind == TriggerKey::Kind::keyCode && key.modifier) __builtin_trap();
  if (key.displayName.empty()) __builtin_trap();
  FakePreferences saved;
  TriggerKeyPreferences::save(key, saved);
  if (!(TriggerKeyPreferences::load(saved) == key)) __builtin_trap();
  return 0;
}
