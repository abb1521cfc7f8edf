#include "values/TriggerKey.h"

#include <algorithm>

#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

struct ModifierInfo {
  TriggerKey::Modifier modifier;
  std::string_view rawValue;
  std::string_view genericName;
  std::uint64_t flagMask;
};

constexpr std::array<ModifierInfo, 5> kModifiers = {{
    {TriggerKey::Modifier::control, "control", "Control", modifiers::kControl},
    {TriggerKey::Modifier::option, "option", "Option", modifiers::kOption},
    {TriggerKey::Modifier::command, "command", "Command", modifiers::kCommand},
    {TriggerKey::Modifier::shift, "shift", "Shift", modifiers::kShift},
    {TriggerKey::Modifier::function, "function", "Fn", modifiers::kFunction},
}};

const ModifierInfo& info(TriggerKey::Modifier modifier) {
  return *std::find_if(kModifiers.begin(), kModifiers.end(),
                       [&](const ModifierInfo& i) { return i.modifier == modifier; });
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

}  // namespace vellotype
