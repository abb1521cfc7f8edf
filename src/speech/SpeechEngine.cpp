#include "speech/SpeechEngine.h"

#include <algorithm>
#include <cmath>

namespace vellotype {
namespace {

// The two ways a language can be recognised are what a user must act on when neither is there.
constexpr const char* kRecognizerHelp =
    "To use it, set up a speech service under Language \u2192 Speech Service... (a hosted one, "
    "or a Whisper server on this computer), or install a speech model for it in "
    "~/.local/share/Vellotype/models/. The README says how.";

std::string authorizationRefusal(int status) {
  switch (status) {
    case SpeechRecognition::kNotDetermined:
      return "Speech recognition permission not determined.";
    case SpeechRecognition::kDenied:
    case SpeechRecognition::kRestricted:
      return "Speech recognition denied.\nVellotype recognizes speech on this computer: check "
             "that a speech model for your language is installed (the README says how).";
    default:
      return "Unknown speech recognition authorization status.";
  }
}

}  // namespace

SpeechEngine::SpeechEngine(AudioEngine& audioEngine, SpeechRecognition& recognition,
                           MainQueue& mainQueue, std::string localeIdentifier)
    : audioEngine_(audioEngine),
      recognition_(recognition),
      mainQueue_(mainQueue),
      locale_(std::move(localeIdentifier)),
      speechRecognizer_(recognition_.recognizer(locale_)) {}

void SpeechEngine::setLocale(const std::string& localeIdentifier) {
  locale_ = localeIdentifier;
  // Dropped first, so that choosing a language again loads its model afresh.
  speechRecognizer_.reset();
  speechRecognizer_ = recognition_.recognizer(locale_);
  if (!speechRecognizer_ && onLocaleUnavailable) {
    onLocaleUnavailable("Speech recognition is not supported for " + locale_ + ". " +
                        kRecognizerHelp);
  }
}

void SpeechEngine::refreshRecognizer() {
  // Kept while the new one is made, so that a model already loaded is used again.
  speechRecognizer_ = recognition_.recognizer(locale_);
}

void SpeechEngine::requestPermissions(PermissionCompletion completion) {
  // Holds the services, not the engine: the answer is about the computer, not this engine.
  recognition_.requestAuthorization(
      [&queue = mainQueue_, &audio = audioEngine_, completion](int status) {
        queue.post([&queue, &audio, completion, status] {
          if (status != SpeechRecognition::kAuthorized) {
            completion(false, authorizationRefusal(status));
            return;
          }
          audio.requestAccess([&queue, completion](bool granted) {
            queue.post([completion, granted] {
              if (granted) {
                completion(true, std::nullopt);
              } else {
                completion(false,
                           "Microphone access denied.\nStart the sound server (PulseAudio or "
                           "PipeWire) and check that a microphone is connected.");
              }
            });
          });
        });
      });
}

void SpeechEngine::startRecording() {
  if (recognitionTask_ && recognitionTask_->remoteFinalResultWait()) {
    // Its words are on their way from the service: nothing the user said may be lost.
    earlierTasks_[recording_] = recognitionTask_;
  } else if (recognitionTask_) {
    recognitionTask_->cancel();
  }
  recognitionTask_.reset();
  ++recording_;

  if (!speechRecognizer_ || !speechRecognizer_->isAvailable()) {
    if (onError) onError("Speech recognizer not available for " + locale_);
    return;
  }

  auto request = recognition_.makeRequest();
  request->setShouldReportPartialResults(true);
  request->setAddsPunctuation(true);
  recognitionRequest_ = request;
  recognitionTask_ = speechRecognizer_->recognitionTask(
      request, [weak = weak_from_this(), recording = recording_](
                   const std::optional<RecognitionResult>& result,
                   const std::optional<RecognitionError>& error) {
        if (auto self = weak.lock()) self->handleResult(recording, result, error);
      });

  // The tap keeps its own recording's request: its last buffers belong there even once a newer
  // recording has begun.
  audioEngine_.installTap(kTapBufferSize, audioEngine_.inputFormat(),
                          [request, weak = weak_from_this(),
                           &queue = mainQueue_](const std::shared_ptr<const AudioBuffer>& buffer) {
                            request->append(buffer);
                            const auto value = level(*buffer);
                            if (!value) return;
                            queue.post([weak, value = *value] {
                              auto self = weak.lock();
                              if (self && self->onAudioLevel) self->onAudioLevel(value);
                            });
                          });
  audioEngine_.prepare();
  if (auto failure = audioEngine_.start()) {
    if (onError) onError("Audio engine failed: " + *failure);
    cleanup();
  }
}

void SpeechEngine::stopRecording() {
  audioEngine_.stop();
  audioEngine_.removeTap();
  if (recognitionRequest_) recognitionRequest_->endAudio();
}

std::optional<double> SpeechEngine::remoteFinalResultWait() const {
  return recognitionTask_ ? recognitionTask_->remoteFinalResultWait() : std::nullopt;
}

void SpeechEngine::cancelRecording() {
  if (recognitionTask_) recognitionTask_->cancel();
  cleanup();
}

void SpeechEngine::cleanup() {
  if (audioEngine_.isRunning()) audioEngine_.stop();
  // Also after a failed start, whose tap would otherwise stay installed until the next stop.
  audioEngine_.removeTap();
  recognitionRequest_.reset();
  recognitionTask_.reset();
}

void SpeechEngine::handleResult(std::uint64_t recording,
                                const std::optional<RecognitionResult>& result,
                                const std::optional<RecognitionError>& error) {
  if (recording != recording_) {
    handleEarlierResult(recording, result, error);
    return;
  }
  if (result) {
    const auto& report = result->isFinal ? onFinalResult : onPartialResult;
    if (report) report(result->formattedString);
  }
  if (error && error->code != kCancelledErrorCode && onError) onError(error->localizedDescription);
}

void SpeechEngine::handleEarlierResult(std::uint64_t recording,
                                       const std::optional<RecognitionResult>& result,
                                       const std::optional<RecognitionError>& error) {
  if (result && onEarlierResult)
    onEarlierResult(recording, result->formattedString, result->isFinal);
  if (error && error->code != kCancelledErrorCode && onEarlierError) {
    onEarlierError(recording, error->localizedDescription);
  }
  if (error || (result && result->isFinal)) earlierTasks_.erase(recording);
}

std::optional<float> SpeechEngine::level(const AudioBuffer& buffer) {
  if (buffer.floatChannelData.empty()) return std::nullopt;
  const auto& samples = buffer.floatChannelData[0];
  const std::uint32_t frames = std::min<std::size_t>(buffer.frameLength, samples.size());
  float sum = 0;
  for (std::uint32_t i = 0; i < frames; ++i) sum += samples[i] * samples[i];
  const float meanSquare = sum / float(frames == 0 ? 1 : frames);
  const float rms = std::max(std::sqrt(meanSquare), 0.000001f);
  const float decibels = 20.0f * std::log10(rms);
  return std::clamp((decibels + 50.0f) / 40.0f, 0.0f, 1.0f);
}

}  // namespace vellotype
