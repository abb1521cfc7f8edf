#pragma once
// A refiner whose replies the test gives: reply() completes the request in flight on the main
// queue, as the real one does. cancel() fails the request in flight the same way. With
// `immediateResult` set, refine() completes inside the call. Records "refiner: refine <text>"
// and "refiner: cancel".

#include "fakes/CallLog.h"
#include "platform/MainQueue.h"
#include "refinement/RefinerInterface.h"

namespace vellotype {

class FakeRefiner : public RefinerInterface, Recorder {
 public:
  FakeRefiner(CallLog& log, MainQueue& queue) : Recorder(log), queue_(queue) {}

  void refine(const std::string& text, bool force, Completion completion) override {
    log_.record("refiner: refine " + text + (force ? " (forced)" : ""));
    if (immediateResult) return completion(*immediateResult);
    inFlight_ = std::move(completion);
  }
  void cancel() override {
    log_.record("refiner: cancel");
    if (inFlight_) reply(RefinerError::transport("cancelled"));
  }

  bool hasRequestInFlight() const { return inFlight_ != nullptr; }
  void reply(RefineResult result) {
    queue_.post([completion = std::exchange(inFlight_, nullptr), result] { completion(result); });
  }

  std::optional<RefineResult> immediateResult;

 private:
  MainQueue& queue_;
  Completion inFlight_;
};

}  // namespace vellotype
