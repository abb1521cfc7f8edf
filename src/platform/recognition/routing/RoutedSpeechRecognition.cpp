#include "platform/recognition/routing/RoutedSpeechRecognition.h"

#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/routing/CombinedSpeechRecognizer.h"
#include "platform/recognition/service/ServiceSpeechRecognizer.h"
#include "transcription/SpeechServiceSettings.h"

namespace vellotype {

RoutedSpeechRecognition::RoutedSpeechRecognition(SpeechRecognition& local, Preferences& preferences,
                                                 TranscriptionClient& client,
                                                 KeptRecordings& recordings, MainQueue& queue)
    : local_(local),
      preferences_(preferences),
      client_(client),
      recordings_(recordings),
      queue_(queue) {}

std::shared_ptr<SpeechRecognizer> RoutedSpeechRecognition::recognizer(
    const std::string& localeIdentifier) {
  auto local = localRecognizer(localeIdentifier);
  const auto settings = SpeechServiceSettings::load(preferences_);
  if (!settings.serves(local != nullptr)) return local;
  // Live words from the service only where no local model gives them for free.
  auto service = std::make_shared<ServiceSpeechRecognizer>(
      client_, recordings_, queue_, localeIdentifier, settings.liveWords && !local);
  if (!local) return service;
  return std::make_shared<CombinedSpeechRecognizer>(std::move(local), std::move(service));
}

std::shared_ptr<SpeechRecognizer> RoutedSpeechRecognition::localRecognizer(
    const std::string& localeIdentifier) {
  if (auto reused = inUse_[localeIdentifier].lock()) return reused;
  auto made = local_.recognizer(localeIdentifier);
  inUse_[localeIdentifier] = made;
  return made;
}

std::shared_ptr<RecognitionRequest> RoutedSpeechRecognition::makeRequest() {
  return std::make_shared<BufferedRecognitionRequest>();
}

void RoutedSpeechRecognition::requestAuthorization(std::function<void(int status)> handler) {
  local_.requestAuthorization(std::move(handler));
}

}  // namespace vellotype
