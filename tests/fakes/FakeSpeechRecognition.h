#pragma once
// A recognition service with recognisers for the locales the test lists. The test delivers
// results through the handler of the task it picks. Records "recognition: <operation>".

#include <map>
#include <vector>

#include "fakes/CallLog.h"
#include "platform/SpeechRecognition.h"

namespace vellotype {

class FakeSpeechRecognition : public SpeechRecognition {
 public:
  struct Request : RecognitionRequest {
    void setShouldReportPartialResults(bool report) override { partialResults = report; }
    void setAddsPunctuation(bool adds) override { punctuation = adds; }
    void append(std::shared_ptr<const AudioBuffer> buffer) override {
      buffers.push_back(std::move(buffer));
    }
    void endAudio() override { ended = true; }

    bool partialResults = false;
    bool punctuation = false;
    bool ended = false;
    std::vector<std::shared_ptr<const AudioBuffer>> buffers;
  };

  struct Task : RecognitionTask {
    void cancel() override { cancelled = true; }
    std::shared_ptr<RecognitionRequest> request;
    SpeechRecognizer::ResultHandler handler;
    bool cancelled = false;
  };

  struct Recognizer : SpeechRecognizer {
    bool isAvailable() const override { return available; }
    std::shared_ptr<RecognitionTask> recognitionTask(std::shared_ptr<RecognitionRequest> request,
                                                     ResultHandler handler) override {
      auto task = std::make_shared<Task>();
      task->request = std::move(request);
      task->handler = std::move(handler);
      tasks.push_back(task);
      return task;
    }
    bool available = true;
    std::vector<std::shared_ptr<Task>> tasks;
  };

  explicit FakeSpeechRecognition(CallLog& log) : log_(log) {}

  std::shared_ptr<SpeechRecognizer> recognizer(const std::string& locale) override {
    log_.record("recognition: recognizer " + locale);
    const auto it = recognizers.find(locale);
    return it == recognizers.end() ? nullptr : it->second;
  }
  std::shared_ptr<RecognitionRequest> makeRequest() override {
    requests.push_back(std::make_shared<Request>());
    return requests.back();
  }
  void requestAuthorization(std::function<void(int)> handler) override {
    log_.record("recognition: requestAuthorization");
    handler(authorizationStatus);
  }

  std::map<std::string, std::shared_ptr<Recognizer>> recognizers;
  std::vector<std::shared_ptr<Request>> requests;
  int authorizationStatus = kAuthorized;

 private:
  CallLog& log_;
};

}  // namespace vellotype
