#include "transcription/SpeechServiceSettings.h"

#include "platform/PreferenceKeys.h"

namespace vellotype {

SpeechServiceSettings SpeechServiceSettings::load(const Preferences& preferences) {
  const auto baseURL = preferences.stringValue(prefs::kSpeechServiceBaseURL);
  return {
      .baseURL = baseURL.value_or(std::string(kDefaultBaseURL)),
      .baseURLSaved = baseURL.has_value(),
      .apiKey = preferences.stringValue(prefs::kSpeechServiceAPIKey).value_or(""),
      .model =
          preferences.stringValue(prefs::kSpeechServiceModel).value_or(std::string(kDefaultModel)),
      .languages =
          languagesNamed(preferences.stringValue(prefs::kSpeechServiceLanguages).value_or("")),
      .liveWords = preferences.boolValue(prefs::kSpeechServiceLiveWords).value_or(false),
  };
}

std::string_view SpeechServiceSettings::nameOf(Languages languages) {
  switch (languages) {
    case Languages::all:
      return "all";
    case Languages::none:
      return "none";
    case Languages::withoutLocalModel:
      break;
  }
  return "withoutLocalModel";
}

SpeechServiceSettings::Languages SpeechServiceSettings::languagesNamed(std::string_view name) {
  if (name == nameOf(Languages::all)) return Languages::all;
  if (name == nameOf(Languages::none)) return Languages::none;
  return Languages::withoutLocalModel;
}

bool SpeechServiceSettings::serves(bool hasLocalModel) const {
  if (!isSetUp()) return false;
  switch (languages) {
    case Languages::all:
      return true;
    case Languages::none:
      return false;
    case Languages::withoutLocalModel:
      break;
  }
  return !hasLocalModel;
}

}  // namespace vellotype
