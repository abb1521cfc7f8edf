#pragma once
// A recogniser for one language on PocketSphinx. Main thread only; its worker thread loads the
// model and decodes, and results arrive on the main queue. Made by SphinxSpeechRecognition and
// kept by the speech engine until its language changes.

#include <memory>
#include <string>

#include "platform/MainQueue.h"
#include "platform/SpeechRecognizer.h"
#include "platform/recognition/sphinx/SphinxModelFiles.h"

namespace vellotype {

class SphinxDecodingWorker;

class SphinxRecognizer : public SpeechRecognizer {
 public:
  static constexpr long kModelNotLoadedError = 1;
  static constexpr long kUnsupportedRequestError = 2;
  static constexpr long kDecoderError = 3;

  // Starts loading the model at once, on the worker thread.
  SphinxRecognizer(MainQueue& queue, std::string localeIdentifier, SphinxModelFiles files);
  // Returns at once, even while the model loads; tasks not yet finished deliver nothing more.
  ~SphinxRecognizer() override;
  SphinxRecognizer(const SphinxRecognizer&) = delete;
  SphinxRecognizer& operator=(const SphinxRecognizer&) = delete;

  // True while the model loads, false once it has failed to.
  bool isAvailable() const override;
  // Tasks are decoded one after another in the order they were made; audio appended before the
  // model is ready waits in the request.
  std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                                   ResultHandler handler) override;

 private:
  MainQueue& queue_;
  std::shared_ptr<SphinxDecodingWorker> worker_;
};

}  // namespace vellotype
