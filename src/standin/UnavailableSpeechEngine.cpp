#include "standin/UnavailableSpeechEngine.h"

namespace vellotype {

UnavailableSpeechEngine::UnavailableSpeechEngine(MainQueue& mainQueue, std::string localeIdentifier)
    : mainQueue_(mainQueue), locale_(std::move(localeIdentifier)) {}

void UnavailableSpeechEngine::setLocale(const std::string& localeIdentifier) {
  locale_ = localeIdentifier;
  if (onLocaleUnavailable) {
    onLocaleUnavailable("Speech recognition is not supported for " + locale_ +
                        ". This build of Vellotype has no speech recognizer yet.");
  }
}

void UnavailableSpeechEngine::requestPermissions(PermissionCompletion completion) {
  // Nothing to ask for: the microphone is never opened.
  mainQueue_.post([completion = std::move(completion)] { completion(true, std::nullopt); });
}

void UnavailableSpeechEngine::startRecording() {
  if (onError) onError("Speech recognizer not available for " + locale_);
}

}  // namespace vellotype
