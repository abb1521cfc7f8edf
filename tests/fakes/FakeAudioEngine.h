#pragma once
// A microphone the test speaks into by calling `tap`, as the capture thread would. Records
// "audio: <operation>".

#include "fakes/CallLog.h"
#include "platform/AudioEngine.h"

namespace vellotype {

class FakeAudioEngine : public AudioEngine, Recorder {
 public:
  using Recorder::Recorder;

  AudioFormat inputFormat() const override { return {48000, 1}; }
  void installTap(std::uint32_t bufferSize, AudioFormat, TapBlock block) override {
    log_.record("audio: installTap " + std::to_string(bufferSize));
    tap = std::move(block);
  }
  void removeTap() override {
    log_.record("audio: removeTap");
    tap = nullptr;
  }
  void prepare() override { log_.record("audio: prepare"); }
  std::optional<std::string> start() override {
    log_.record("audio: start");
    running = !startError;
    return startError;
  }
  void stop() override {
    log_.record("audio: stop");
    running = false;
  }
  bool isRunning() const override { return running; }
  void requestAccess(std::function<void(bool)> handler) override {
    log_.record("audio: requestAccess");
    handler(accessGranted);
  }

  std::optional<std::string> startError;
  bool accessGranted = true;
  bool running = false;
  TapBlock tap;
};

}  // namespace vellotype
