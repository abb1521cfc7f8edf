#include "refinement/APIKeyField.h"

#include <string>

namespace vellotype {

bool APIKeyField::store(SettingsView& view, Preferences& preferences,
                        std::string_view preferenceKey) {
  const auto typed = view.text(SettingsView::Field::apiKey);
  // Spaces stay: a key of spaces is still a key, and the service is the judge of it.
  const auto first = typed.find_first_not_of("\r\n");
  const auto key = first == std::string::npos
                       ? std::string()
                       : typed.substr(first, typed.find_last_not_of("\r\n") - first + 1);
  preferences.setString(preferenceKey, key);
  if (key == typed) return false;
  view.setText(SettingsView::Field::apiKey, key);
  view.setStatus(std::string(kLineBreakRemoved), SettingsView::StatusColor::secondaryLabel);
  return true;
}

}  // namespace vellotype
