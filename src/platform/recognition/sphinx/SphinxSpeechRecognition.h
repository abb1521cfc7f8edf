#pragma once
// Speech recognition on PocketSphinx: a recogniser for each locale with an installed model.
// Main thread only; owned by the composition root.

#include <filesystem>

#include "platform/MainQueue.h"
#include "platform/SpeechRecognition.h"
#include "platform/recognition/sphinx/SphinxModelFinder.h"

namespace vellotype {

class SphinxSpeechRecognition : public SpeechRecognition {
 public:
  // Results of every recogniser go to `queue`. Models are looked for in <modelRoot>/<locale>/
  // first, then among `systemModels`.
  explicit SphinxSpeechRecognition(
      MainQueue& queue, std::filesystem::path modelRoot = SphinxModelFinder::defaultUserRoot(),
      SphinxModelFinder::SystemModels systemModels = SphinxModelFinder::debianModels());

  // A new recogniser, already loading its model on its own thread, or nothing when no model is
  // installed for the locale.
  std::shared_ptr<SpeechRecognizer> recognizer(const std::string& localeIdentifier) override;
  std::shared_ptr<RecognitionRequest> makeRequest() override;
  // Recognition never leaves the machine, so there is nothing to ask: always authorised, at once.
  void requestAuthorization(std::function<void(int status)> handler) override;

 private:
  MainQueue& queue_;
  SphinxModelFinder finder_;
};

}  // namespace vellotype
