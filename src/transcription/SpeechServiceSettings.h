#pragma once
// The transcription service's settings as the preferences hold them now, with their defaults,
// and the rule that decides which languages the service serves. A value read afresh at each use;
// main thread (the preferences store's).

#include <string>
#include <string_view>

#include "platform/Preferences.h"

namespace vellotype {

struct SpeechServiceSettings {
  enum class Languages { withoutLocalModel, all, none };

  static constexpr std::string_view kDefaultBaseURL = "https://api.openai.com/v1";
  static constexpr std::string_view kDefaultModel = "whisper-1";

  static SpeechServiceSettings load(const Preferences& preferences);
  // The stored names of the language choices; an unknown name reads as the default.
  static std::string_view nameOf(Languages languages);
  static Languages languagesNamed(std::string_view name);

  // The service is set up once its settings were saved with a base URL: before that, the
  // default address is only a suggestion that has never been tried.
  bool isSetUp() const { return baseURLSaved && !baseURL.empty(); }
  // Whether the service recognises a language, given whether a local model exists for it.
  bool serves(bool hasLocalModel) const;

  std::string baseURL;
  bool baseURLSaved = false;
  std::string apiKey;
  std::string model;
  Languages languages = Languages::withoutLocalModel;
  bool liveWords = false;
};

}  // namespace vellotype
