#pragma once
// A microphone the test speaks into with capture(), as the capture thread would. Records
// "audio: <operation>".

#include "fakes/CallLog.h"
#include "platform/AudioEngine.h"

namespace vellotype {

class FakeAudioEngine : public AudioEngine {
 public:
  explicit FakeAudioEngine(CallLog& log) : log_(log) {}

  AudioFormat inputFormat() const override { return format; }
  void installTap(std::uint32_t bufferSize, AudioFormat tapFormat, TapBlock block) override {
    log_.record("audio: installTap " + std::to_string(bufferSize) +
                (tapFormat == format ? "" : " in another format"));
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

  void capture(std::shared_ptr<const AudioBuffer> buffer) const {
    if (tap) tap(buffer);
  }

  AudioFormat format{48000, 1};
  std::optional<std::string> startError;
  bool accessGranted = true;
  bool running = false;
  TapBlock tap;

 private:
  CallLog& log_;
};

}  // namespace vellotype
