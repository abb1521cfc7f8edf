#pragma once
// Turns the microphone into text while the trigger key is held: streams the audio into a
// recognition request, reports partial and final transcripts, and meters each buffer's
// loudness. Main thread only, except the audio tap, which runs on the capture thread and hands
// its level to the main queue. Owned through a shared_ptr by the composition root.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/AudioEngine.h"
#include "platform/MainQueue.h"
#include "platform/SpeechRecognition.h"
#include "speech/SpeechEngineInterface.h"

namespace vellotype {

class SpeechEngine : public SpeechEngineInterface,
                     public std::enable_shared_from_this<SpeechEngine> {
 public:
  static constexpr std::uint32_t kTapBufferSize = 1024;
  // What the recogniser reports for a task that was cancelled.
  static constexpr long kCancelledErrorCode = 216;

  // Makes the recogniser for `localeIdentifier` but reports nothing, even when there is none.
  SpeechEngine(AudioEngine& audioEngine, SpeechRecognition& recognition, MainQueue& mainQueue,
               std::string localeIdentifier);

  void setLocale(const std::string& localeIdentifier) override;
  bool hasRecognizer() const override { return speechRecognizer_ != nullptr; }
  void refreshRecognizer() override;
  void requestPermissions(PermissionCompletion completion) override;
  void startRecording() override;
  void stopRecording() override;
  std::uint64_t currentRecording() const override { return recording_; }
  std::optional<double> remoteFinalResultWait() const override;
  void cancelRecording() override;

  // The loudness of a buffer from 0 (−50 dB and below) to 1 (−10 dB and above), linear in
  // decibels, from channel 0; nothing when the buffer carries no float samples.
  static std::optional<float> level(const AudioBuffer& buffer);

 private:
  void cleanup();
  void handleResult(std::uint64_t recording, const std::optional<RecognitionResult>& result,
                    const std::optional<RecognitionError>& error);
  void handleEarlierResult(std::uint64_t recording, const std::optional<RecognitionResult>& result,
                           const std::optional<RecognitionError>& error);

  AudioEngine& audioEngine_;
  SpeechRecognition& recognition_;
  MainQueue& mainQueue_;
  std::string locale_;
  std::shared_ptr<SpeechRecognizer> speechRecognizer_;
  std::shared_ptr<RecognitionRequest> recognitionRequest_;
  std::shared_ptr<RecognitionTask> recognitionTask_;
  std::uint64_t recording_ = 0;
  // Replaced recordings whose final transcript is still on its way, by number.
  std::map<std::uint64_t, std::shared_ptr<RecognitionTask>> earlierTasks_;
};

}  // namespace vellotype
