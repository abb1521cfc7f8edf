#pragma once
// The key the user holds down to talk: a modifier (one side or either side) or an ordinary key,
// with the name the user sees. A plain value, usable on any thread; TriggerKeyPreferences loads
// and saves it, TriggerKeyCapture makes it from a pressed key.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellotype {

struct TriggerKey {
  enum class Kind { modifier, keyCode };
  enum class Modifier { control, option, command, shift, function };

  static constexpr std::array<Modifier, 5> allModifierCases = {
      Modifier::control, Modifier::option, Modifier::command, Modifier::shift, Modifier::function};

  Kind kind = Kind::modifier;
  std::optional<Modifier> modifier = Modifier::control;
  // Ordinary key: the key. Modifier: the one physical key, or 0 for that modifier on either side.
  std::uint16_t keyCode = 0;
  std::string displayName = "Control";

  bool operator==(const TriggerKey&) const = default;

  // Control on either side: what loading falls back to and what "reset" saves.
  static TriggerKey defaultKey() { return {}; }
};

std::string_view rawValue(TriggerKey::Kind kind);
std::string_view rawValue(TriggerKey::Modifier modifier);
std::optional<TriggerKey::Kind> kindFromRawValue(std::string_view rawValue);
std::optional<TriggerKey::Modifier> modifierFromRawValue(std::string_view rawValue);

// "Control", "Option", "Command", "Shift", "Fn".
std::string_view genericDisplayName(TriggerKey::Modifier modifier);
// The modifier's bit in an event's modifier flags.
std::uint64_t flagMask(TriggerKey::Modifier modifier);

}  // namespace vellotype
