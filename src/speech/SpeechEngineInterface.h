#pragma once
// What the application needs of the microphone and the streaming recogniser. Main thread only;
// every callback arrives on the main thread. Owned by the composition root.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vellotype {

class SpeechEngineInterface {
 public:
  using PermissionCompletion =
      std::function<void(bool granted, std::optional<std::string> message)>;

  virtual ~SpeechEngineInterface() = default;

  std::function<void(const std::string&)> onPartialResult;
  std::function<void(const std::string&)> onFinalResult;
  std::function<void(const std::string&)> onError;  // a ready-to-show message
  std::function<void(const std::string&)> onLocaleUnavailable;
  std::function<void(float level)> onAudioLevel;  // 0…1, one call per captured buffer
  // The reports of a recording that a newer one replaced while a transcription service was still
  // making its final transcript, with the number startRecording() gave it.
  std::function<void(std::uint64_t recording, const std::string& text, bool isFinal)>
      onEarlierResult;
  std::function<void(std::uint64_t recording, const std::string& message)> onEarlierError;

  // Rebuilds the recogniser for a locale identifier such as "en-US"; a locale without one is
  // reported through onLocaleUnavailable.
  virtual void setLocale(const std::string& localeIdentifier) = 0;
  // Whether the current locale has a recogniser.
  virtual bool hasRecognizer() const = 0;
  // Builds the current locale's recogniser again, for changed settings, and reports nothing.
  virtual void refreshRecognizer() = 0;

  // The completion runs once, on the main thread, after this call has returned.
  virtual void requestPermissions(PermissionCompletion completion) = 0;

  // Cancels any earlier recognition, so its results never arrive after this call, except one
  // whose final transcript a transcription service is making: that one goes on, reporting
  // through onEarlier…. A failure to start is reported through onError before this returns.
  virtual void startRecording() = 0;
  // Ends capture and the audio of the request; the final result still arrives later.
  virtual void stopRecording() = 0;
  // Numbers the recordings from 1, in the order startRecording() began them.
  virtual std::uint64_t currentRecording() const = 0;
  // After stopRecording(): how long the final transcript may take when a transcription service
  // makes it; nothing when the recogniser is on this computer.
  virtual std::optional<double> remoteFinalResultWait() const = 0;
  // Abandons capture and recognition: nothing more is reported for them.
  virtual void cancelRecording() = 0;
};

}  // namespace vellotype
