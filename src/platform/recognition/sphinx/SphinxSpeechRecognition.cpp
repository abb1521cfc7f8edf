#include "platform/recognition/sphinx/SphinxSpeechRecognition.h"

#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/sphinx/SphinxRecognizer.h"

namespace vellotype {

SphinxSpeechRecognition::SphinxSpeechRecognition(MainQueue& queue, std::filesystem::path modelRoot,
                                                 SphinxModelFinder::SystemModels systemModels)
    : queue_(queue), finder_(std::move(modelRoot), std::move(systemModels)) {}

std::shared_ptr<SpeechRecognizer> SphinxSpeechRecognition::recognizer(
    const std::string& localeIdentifier) {
  auto files = finder_.find(localeIdentifier);
  if (!files) return nullptr;
  return std::make_shared<SphinxRecognizer>(queue_, localeIdentifier, std::move(*files));
}

std::shared_ptr<RecognitionRequest> SphinxSpeechRecognition::makeRequest() {
  return std::make_shared<BufferedRecognitionRequest>();
}

void SphinxSpeechRecognition::requestAuthorization(std::function<void(int status)> handler) {
  if (handler) handler(kAuthorized);
}

}  // namespace vellotype
