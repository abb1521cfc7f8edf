#pragma once
// The API key field of the correction and speech services' settings windows: a key copied from a
// web page or a terminal often brings the line break that ended its line, which no key holds.
// Main thread only, like the windows that use it.

#include <string_view>

#include "platform/Preferences.h"
#include "refinement/SettingsView.h"

namespace vellotype {

class APIKeyField {
 public:
  static constexpr std::string_view kLineBreakRemoved = "Removed a line break from the API key";

  // Stores the key field's text at `preferenceKey` as typed, but for line breaks at either end.
  // When there were any, the field shows the stored key and the status line says so; returns
  // whether it does.
  static bool store(SettingsView& view, Preferences& preferences, std::string_view preferenceKey);
};

}  // namespace vellotype
