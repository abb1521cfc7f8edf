#include <string_view>
#include <utility>

#include "app/AppDelegate.h"
#include "platform/PreferenceKeys.h"
#include "text/UnicodeText.h"

namespace vellotype {
namespace {

constexpr double kFinalResultWait = 2.0;
constexpr double kErrorDisplay = 1.5;
constexpr double kRefinedTextDisplay = 1.0;
constexpr double kRefineFailureDisplay = 1.5;
constexpr double kDismissToInject = 0.1;

constexpr std::string_view kListeningText = "Listening...";
constexpr std::string_view kRefiningText = "Refining...";
constexpr std::string_view kErrorPrefix = "Error: ";
constexpr std::string_view kRefinedPrefix = "\u2728 ";
constexpr std::string_view kRefineFailedPrefix = "Refine failed: ";
constexpr std::string_view kRefineFailedLogPrefix = "[LLMRefiner] Refine failed: ";

std::string concat(std::string_view prefix, std::string_view text) {
  std::string result(prefix);
  result += text;
  return result;
}

}  // namespace

void AppDelegate::setupSpeechCallbacks() {
  auto& engine = *components_.speechEngine;
  engine.onPartialResult = weakly(&AppDelegate::handlePartialResult);
  engine.onFinalResult = weakly(&AppDelegate::handleFinalResult);
  engine.onError = weakly(&AppDelegate::handleSpeechError);
  engine.onAudioLevel = weakly(&AppDelegate::handleAudioLevel);
  engine.onLocaleUnavailable = weakly(&AppDelegate::handleLocaleUnavailable);
}

void AppDelegate::handlePartialResult(const std::string& text) {
  // Words that arrive once their utterance is finished would overwrite what it now shows.
  if (!utteranceOpen_) return;
  lastPartialResult_ = text;
  overlayPanel().updateText(text);
}

void AppDelegate::handleFinalResult(const std::string& text) {
  // After the wait ran out the newest partial result was delivered; the final one must not
  // paste the same words a second time.
  if (!utteranceOpen_) return;
  lastPartialResult_ = text;
  finishTranscription();
}

void AppDelegate::handleSpeechError(const std::string& message) {
  if (!utteranceOpen_) return;
  overlayPanel().updateText(concat(kErrorPrefix, message));
  services_.mainQueue.postAfter(kErrorDisplay, [weak = weak_from_this(), id = utterance_] {
    if (auto self = weak.lock()) self->dismissOverlayIfCurrent(id);
  });
}

void AppDelegate::handleAudioLevel(float level) { overlayPanel().updateAudioLevel(level); }

void AppDelegate::handleLocaleUnavailable(const std::string& message) {
  showAlert("Language Unavailable", message);
}

void AppDelegate::triggerDown() {
  if (!isEnabled_ || isRecording_) return;

  // Starting a new recording cancels the recognition of the previous utterance, so one still
  // waiting for its final result is finished now with what it has rather than lost; its timer
  // goes with it.
  if (auto transcript = closeUtterance(); transcript && !transcript->empty()) {
    scheduleDelivery(*transcript);
  }

  components_.refiner.cancel();
  // The cancelled correction would report a failure into the new utterance's capsule; its
  // words are delivered unrefined instead, and its completion is ignored.
  if (pendingRefinement_) {
    scheduleDelivery(std::exchange(pendingRefinement_, std::nullopt)->transcript);
  }

  ++utterance_;
  utteranceOpen_ = true;
  isRecording_ = true;
  lastPartialResult_.clear();
  updateStatusIcon(true);
  overlayPanel().show(std::string(kListeningText));
  services_.sounds.play("Tink");
  components_.speechEngine->startRecording();
}

void AppDelegate::abandonRecording() {
  // Nothing of an utterance abandoned while the key is held is delivered.
  if (!isRecording_) return;
  components_.speechEngine->cancelRecording();
  overlayPanel().dismiss();
  isRecording_ = false;
  utteranceOpen_ = false;
  updateStatusIcon(false);
}

void AppDelegate::triggerUp() {
  if (!isRecording_) return;
  isRecording_ = false;
  updateStatusIcon(false);
  components_.speechEngine->stopRecording();
  finalResultTimer_ = OneShotTimer::schedule(services_.mainQueue, kFinalResultWait,
                                             weakly(&AppDelegate::finishTranscription));
}

void AppDelegate::finishTranscription() {
  auto transcript = closeUtterance();
  if (!transcript) return;

  if (transcript->empty()) {
    overlayPanel().dismiss();
    lastPartialResult_.clear();
    return;
  }
  if (refinementConfigured()) {
    startRefinement(*transcript);
    return;
  }
  overlayPanel().dismiss();
  scheduleDelivery(*transcript);
  lastPartialResult_.clear();
}

std::optional<std::string> AppDelegate::closeUtterance() {
  invalidateFinalResultTimer();
  if (!utteranceOpen_) return std::nullopt;
  utteranceOpen_ = false;
  return text::trimmingWhitespaceAndNewlines(lastPartialResult_);
}

bool AppDelegate::refinementConfigured() const {
  const auto& preferences = services_.preferences;
  return preferences.boolValue(prefs::kLLMEnabled).value_or(false) &&
         !preferences.stringValue(prefs::kLLMAPIKey).value_or("").empty();
}

void AppDelegate::startRefinement(const std::string& transcript) {
  // Recorded before the request: the refiner may complete inside refine().
  pendingRefinement_ = PendingRefinement{utterance_, transcript};
  overlayPanel().waveformView().setIsAnimating(false);
  overlayPanel().updateText(std::string(kRefiningText));
  components_.refiner.refine(
      transcript, false, [weak = weak_from_this(), id = utterance_](const RefineResult& result) {
        if (auto self = weak.lock()) self->refinementCompleted(id, result);
      });
}

void AppDelegate::refinementCompleted(std::uint64_t utterance, const RefineResult& result) {
  // A newer key-down has already cancelled this correction and delivered the raw words.
  if (!pendingRefinement_ || pendingRefinement_->utterance != utterance) return;
  const std::string transcript = std::move(pendingRefinement_->transcript);
  pendingRefinement_.reset();

  if (const auto* refined = std::get_if<std::string>(&result)) {
    const std::string& text = refined->empty() ? transcript : *refined;
    if (text::canonicallyEqual(text, transcript)) {
      overlayPanel().dismiss();
      scheduleDelivery(text);
    } else {
      overlayPanel().updateText(concat(kRefinedPrefix, text));
      dismissThenDeliver(kRefinedTextDisplay, utterance, text);
    }
  } else {
    const auto& description = std::get<RefinerError>(result).localizedDescription();
    services_.systemLog.log(concat(kRefineFailedLogPrefix, description));
    overlayPanel().updateText(concat(kRefineFailedPrefix, description));
    dismissThenDeliver(kRefineFailureDisplay, utterance, transcript);
  }
  lastPartialResult_.clear();
}

void AppDelegate::dismissOverlayIfCurrent(std::uint64_t utterance) {
  // The capsule belongs to whichever utterance started last.
  if (utterance == utterance_) overlayPanel().dismiss();
}

void AppDelegate::dismissThenDeliver(double delay, std::uint64_t utterance,
                                     const std::string& text) {
  services_.mainQueue.postAfter(delay, [self = shared_from_this(), utterance, text] {
    self->dismissOverlayIfCurrent(utterance);
    self->scheduleDelivery(text);
  });
}

void AppDelegate::scheduleDelivery(const std::string& text) {
  // Holds the injector itself, not the application object: once the user's words are
  // accepted for delivery they are delivered.
  services_.mainQueue.postAfter(
      kDismissToInject, [injector = components_.textInjector, &sounds = services_.sounds, text] {
        injector->inject(text);
        sounds.play("Pop");
      });
}

void AppDelegate::invalidateFinalResultTimer() {
  if (finalResultTimer_) finalResultTimer_->invalidate();
  finalResultTimer_.reset();
}

}  // namespace vellotype
