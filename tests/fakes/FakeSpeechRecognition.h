#pragma once
// A recognition service with recognisers for the locales the test lists. The test delivers
// results through the handler of the task it picks.

#include <map>
#include <vector>

#include "platform/SpeechRecognition.h"

namespace vellotype {

class FakeSpeechRecognition : public SpeechRecognition {
 public:
  struct Request : RecognitionRequest {
    void setShouldReportPartialResults(bool report) override { reportsPartialResults = report; }
    void setAddsPunctuation(bool adds) override { addsPunctuation = adds; }
    void append(std::shared_ptr<const AudioBuffer> buffer) override {
      buffers.push_back(std::move(buffer));
    }
    void endAudio() override { ended = true; }

    bool ended = false;
    bool reportsPartialResults = false;
    bool addsPunctuation = false;
    std::vector<std::shared_ptr<const AudioBuffer>> buffers;
  };

  struct Task : RecognitionTask {
    void cancel() override { cancelled = true; }
    std::optional<double> remoteFinalResultWait() const override { return remoteWait; }
    SpeechRecognizer::ResultHandler handler;
    bool cancelled = false;
    std::optional<double> remoteWait;  // set: a service makes its final result
  };

  struct Recognizer : SpeechRecognizer {
    bool isAvailable() const override { return available; }
    std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                                     ResultHandler handler) override {
      requests.push_back(std::move(request));
      tasks.push_back(std::make_shared<Task>());
      tasks.back()->handler = std::move(handler);
      return tasks.back();
    }
    bool available = true;
    std::vector<std::shared_ptr<RecognitionRequest>> requests;  // one per task
    std::vector<std::shared_ptr<Task>> tasks;
  };

  std::shared_ptr<SpeechRecognizer> recognizer(const std::string& locale) override {
    ++lookups;
    return recognizers.contains(locale) ? recognizers.at(locale) : nullptr;
  }
  std::shared_ptr<RecognitionRequest> makeRequest() override {
    return requests.emplace_back(std::make_shared<Request>());
  }
  void requestAuthorization(std::function<void(int)> handler) override {
    handler(authorizationStatus);
  }

  std::map<std::string, std::shared_ptr<Recognizer>> recognizers;
  std::vector<std::shared_ptr<Request>> requests;
  int authorizationStatus = kAuthorized;
  int lookups = 0;
};

}  // namespace vellotype
