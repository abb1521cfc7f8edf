#pragma once
// The speech recognition service: recognisers by language, requests, and permission. Main
// thread only, except where said. Owned by the composition root.

#include <functional>
#include <memory>
#include <string>

#include "platform/RecognitionRequest.h"
#include "platform/SpeechRecognizer.h"

namespace vellotype {

class SpeechRecognition {
 public:
  // The values of the statuses a permission request can end in; others may appear.
  static constexpr int kNotDetermined = 0;
  static constexpr int kDenied = 1;
  static constexpr int kRestricted = 2;
  static constexpr int kAuthorized = 3;

  virtual ~SpeechRecognition() = default;

  // Nothing when no recogniser exists for the locale (an identifier such as "en-US").
  virtual std::shared_ptr<SpeechRecognizer> recognizer(const std::string& localeIdentifier) = 0;
  virtual std::shared_ptr<RecognitionRequest> makeRequest() = 0;
  // The handler runs once, on any thread, with the status.
  virtual void requestAuthorization(std::function<void(int status)> handler) = 0;
};

}  // namespace vellotype
