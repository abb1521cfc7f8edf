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
// The transcription service: where it is, its key and model, which languages it serves
// ("withoutLocalModel", "all" or "none") and whether it shows live words while the key is held.
inline constexpr std::string_view kSpeechServiceBaseURL = "speechServiceBaseURL";
inline constexpr std::string_view kSpeechServiceAPIKey = "speechServiceAPIKey";
inline constexpr std::string_view kSpeechServiceModel = "speechServiceModel";
inline constexpr std::string_view kSpeechServiceLanguages = "speechServiceLanguages";
inline constexpr std::string_view kSpeechServiceLiveWords = "speechServiceLiveWords";
// Set once the user has been told what a Wayland session keeps from working.
inline constexpr std::string_view kWaylandNoticeShown = "waylandNoticeShown";
inline constexpr std::string_view kRemoteDesktopRestoreToken = "remoteDesktopRestoreToken";

}  // namespace vellotype::prefs
