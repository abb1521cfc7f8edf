#include "hotkey/TriggerKeyCapture.h"

#include <array>

#include "text/UnicodeText.h"

namespace vellotype {
namespace {

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

}  // namespace

std::optional<TriggerKey> TriggerKeyCapture::captured(const KeyEvent& event) {
  switch (event.type) {
    case KeyEvent::Type::keyDown:
      return TriggerKey{TriggerKey::Kind::keyCode, std::nullopt, event.keyCode,
                        displayNameFor(event)};
    case KeyEvent::Type::flagsChanged: {
      auto side = modifierKey(event.keyCode);
      if (!side || (event.modifierFlags & flagMask(side->first)) == 0) return std::nullopt;
      return TriggerKey{TriggerKey::Kind::modifier, side->first, event.keyCode,
                        std::move(side->second)};
    }
    default:
      return std::nullopt;
  }
}

std::optional<std::pair<TriggerKey::Modifier, std::string>> TriggerKeyCapture::modifierKey(
    std::uint16_t keyCode) {
  for (const auto& side : kSideKeys) {
    if (side.keyCode == keyCode) return std::pair{side.modifier, std::string(side.name)};
  }
  return std::nullopt;
}

std::optional<std::string> TriggerKeyCapture::specialKeyName(std::uint16_t keyCode) {
  for (const auto& [code, name] : kSpecialKeys) {
    if (code == keyCode) return std::string(name);
  }
  return std::nullopt;
}

std::string TriggerKeyCapture::displayNameFor(const KeyEvent& event) {
  if (auto name = specialKeyName(event.keyCode)) return *name;
  const auto& characters = event.charactersIgnoringModifiers;
  if (characters && !characters->empty()) return text::uppercased(*characters);
  return "Key " + std::to_string(event.keyCode);
}

}  // namespace vellotype
