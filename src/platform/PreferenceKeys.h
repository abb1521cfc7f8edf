#pragma once
// The keys under which the program keeps its preferences. Stored files depend on these names.

#include <string_view>

namespace vellotype::prefs {

inline constexpr std::string_view kSelectedLocaleCode = "selectedLocaleCode";
inline constexpr std::string_view kLLMEnabled = "llmEnabled";
inline constexpr std::string_view kTriggerKeyKind = "triggerKeyKind";
inline constexpr std::string_view kTriggerKeyCode = "triggerKeyCode";
inline constexpr std::string_view kTriggerKeyModifier = "triggerKeyModifier";
inline constexpr std::string_view kTriggerKeyDisplayName = "triggerKeyDisplayName";
inline constexpr std::string_view kLLMAPIBaseURL = "llmAPIBaseURL";
inline constexpr std::string_view kLLMAPIKey = "llmAPIKey";
inline constexpr std::string_view kLLMModel = "llmModel";
// Set once the user has been told what a Wayland session keeps from working.
inline constexpr std::string_view kWaylandNoticeShown = "waylandNoticeShown";

}  // namespace vellotype::prefs
