// The recording controller: each utterance from key-down through recognition to the paste.

#include <algorithm>
#include <string_view>
#include <utility>

#include "app/AppDelegate.h"
#include "platform/PreferenceKeys.h"
#include "text/UnicodeText.h"

namespace vellotype {
namespace {

constexpr double kFinalResultWait = 2.0;
// Past the service's own time limit, by which it has answered or failed.
constexpr double kRemoteWaitMargin = 1.0;
constexpr double kErrorDisplay = 1.5;
// A modifier trigger also begins every shortcut (Control+C, Control+S): the capsule, the icon and
// "Tink" wait until it has been held alone this long, while the microphone records from the
// start. Shortcuts follow their modifier within a tenth or so of a second, and speech rarely
// starts sooner than this after the press, so nobody waits for the capsule.
constexpr double kQuietStart = 0.2;
constexpr double kRefinedTextDisplay = 1.0;
constexpr double kRefineFailureDisplay = 1.5;

constexpr std::string_view kListeningText = "Listening...";
constexpr std::string_view kTranscribingText = "Transcribing...";
constexpr std::string_view kRefiningText = "Refining...";
constexpr std::string_view kErrorPrefix = "Error: ";
constexpr std::string_view kRefinedPrefix = "\u2728 ";
constexpr std::string_view kRefineFailedPrefix = "Refine failed: ";
constexpr std::string_view kRefineFailedLogPrefix = "[LLMRefiner] Refine failed: ";
constexpr std::string_view kNotPastedText = "Not pasted: press Control+V";
constexpr std::string_view kNotPastedLog =
    "[TextInjector] Not pasted: no application took the text, which was left on the clipboard";
constexpr double kNotPastedDisplay = 2.0;
// Nobody holds a key this long to dictate: its release was lost on the way (a keyboard
// unplugged, a signal the desktop never sent), and the microphone must not record for ever.
constexpr double kLongestHold = 120;
constexpr std::string_view kOverlongHoldText =
    "Stopped after 2 minutes: the key's release never came";
constexpr std::string_view kOverlongHoldLog =
    "[KeyMonitor] No release of the hotkey after 120 s: the recording was ended";

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
  engine.onEarlierResult = weakly(&AppDelegate::handleEarlierResult);
  engine.onEarlierError = weakly(&AppDelegate::handleEarlierError);
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
  // What went wrong is shown at once, quiet start or not.
  showRecordingFeedback();
  overlayPanel().updateText(concat(kErrorPrefix, message));
  if (remoteFinalResultWait_) {
    // No final text follows a failed transcription: the newest words go once the message has
    // been read, not at the end of the whole wait for the service.
    remoteFinalResultWait_.reset();
    invalidateFinalResultTimer();
    finalResultTimer_ = OneShotTimer::schedule(services_.mainQueue, kErrorDisplay,
                                               weakly(&AppDelegate::finishTranscription));
    return;
  }
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

  if (utteranceOpen_ && remoteFinalResultWait_) {
    detachUtterance();
  } else if (auto transcript = closeUtterance()) {
    // Starting a new recording cancels the local recognition of the previous utterance, so one
    // still waiting for its final result is finished now with what it has rather than lost; its
    // timer goes with it.
    deliveries_->fill(place_, *transcript);
  }

  components_.refiner.cancel();
  // The cancelled correction would report a failure into the new utterance's capsule; its
  // words are delivered unrefined instead, and its completion is ignored.
  if (pendingRefinement_) {
    auto pending = *std::exchange(pendingRefinement_, std::nullopt);
    deliveries_->fill(pending.place, std::move(pending.transcript));
  }

  ++utterance_;
  place_ = deliveries_->reserve();
  utteranceOpen_ = true;
  isRecording_ = true;
  lastPartialResult_.clear();
  feedbackShown_ = false;
  longestHoldTimer_ = OneShotTimer::schedule(services_.mainQueue, kLongestHold,
                                             weakly(&AppDelegate::endOverlongHold));
  if (components_.keyMonitor->triggerKey().kind == TriggerKey::Kind::modifier) {
    components_.speechEngine->startRecording();
    if (!feedbackShown_) {
      feedbackTimer_ = OneShotTimer::schedule(services_.mainQueue, kQuietStart,
                                              weakly(&AppDelegate::showRecordingFeedback));
    }
    return;
  }
  showRecordingFeedback();
  components_.speechEngine->startRecording();
}

void AppDelegate::showRecordingFeedback() {
  if (feedbackShown_ || !utteranceOpen_) return;
  if (feedbackTimer_) feedbackTimer_->invalidate();
  feedbackTimer_.reset();
  feedbackShown_ = true;
  updateStatusIcon(isRecording_);
  // Words heard in the quiet moment are shown rather than covered.
  overlayPanel().show(lastPartialResult_.empty() ? std::string(kListeningText)
                                                 : lastPartialResult_);
  // An error after a quick tap is shown without the sound that says the key is being heard.
  if (isRecording_) services_.sounds.play("Tink");
}

void AppDelegate::cancelRecordingFeedback() {
  if (feedbackTimer_) feedbackTimer_->invalidate();
  feedbackTimer_.reset();
  if (longestHoldTimer_) longestHoldTimer_->invalidate();
  longestHoldTimer_.reset();
}

void AppDelegate::endOverlongHold() {
  if (!isRecording_) return;
  services_.systemLog.log(std::string(kOverlongHoldLog));
  // The monitor still takes the key for held and would ignore its next press.
  components_.keyMonitor->setTriggerKey(components_.keyMonitor->triggerKey());
  triggerUp();
  overlayPanel().updateText(std::string(kOverlongHoldText));
}

void AppDelegate::abandonRecording() {
  // Nothing of an utterance abandoned while the key is held is delivered.
  if (!isRecording_) return;
  components_.speechEngine->cancelRecording();
  cancelRecordingFeedback();
  isRecording_ = false;
  utteranceOpen_ = false;
  deliveries_->fill(place_, "");
  // A shortcut typed within the quiet start leaves nothing to see.
  if (!feedbackShown_) return;
  overlayPanel().dismiss();
  updateStatusIcon(false);
}

void AppDelegate::triggerUp() {
  if (!isRecording_) return;
  isRecording_ = false;
  // Released within the quiet start: a tap shows nothing, though its words are still delivered.
  cancelRecordingFeedback();
  if (feedbackShown_) updateStatusIcon(false);
  auto& engine = *components_.speechEngine;
  engine.stopRecording();
  remoteFinalResultWait_ = engine.remoteFinalResultWait();
  double wait = kFinalResultWait;
  if (remoteFinalResultWait_) {
    wait = std::max(wait, *remoteFinalResultWait_ + kRemoteWaitMargin);
    // "Listening..." would say the key is still being heard.
    if (lastPartialResult_.empty()) overlayPanel().updateText(std::string(kTranscribingText));
  }
  finalResultTimer_ =
      OneShotTimer::schedule(services_.mainQueue, wait, weakly(&AppDelegate::finishTranscription));
}

void AppDelegate::detachUtterance() {
  // The service answers or fails within its own time limit; this timer is the last resort.
  const auto wait = *remoteFinalResultWait_ + kRemoteWaitMargin;
  invalidateFinalResultTimer();
  const auto recording = components_.speechEngine->currentRecording();
  earlierUtterances_[recording] = {
      place_, std::exchange(lastPartialResult_, ""),
      OneShotTimer::schedule(services_.mainQueue, wait, [weak = weak_from_this(), recording] {
        if (auto self = weak.lock()) self->finishEarlier(recording, std::nullopt);
      })};
  utteranceOpen_ = false;
  remoteFinalResultWait_.reset();
}

void AppDelegate::handleEarlierResult(std::uint64_t recording, const std::string& text,
                                      bool isFinal) {
  if (isFinal) {
    finishEarlier(recording, text);
  } else if (const auto found = earlierUtterances_.find(recording);
             found != earlierUtterances_.end()) {
    found->second.lastPartialResult = text;
  }
}

void AppDelegate::handleEarlierError(std::uint64_t recording, const std::string&) {
  // The capsule belongs to the newer utterance; the recording is kept for a retry.
  finishEarlier(recording, std::nullopt);
}

void AppDelegate::finishEarlier(std::uint64_t recording,
                                const std::optional<std::string>& finalText) {
  const auto found = earlierUtterances_.find(recording);
  if (found == earlierUtterances_.end()) return;
  auto earlier = std::move(found->second);
  earlierUtterances_.erase(found);
  earlier.finalResultTimer->invalidate();
  // Not corrected: a newer utterance has the capsule and the correction service by now.
  deliveries_->fill(earlier.place, text::trimmingWhitespaceAndNewlines(
                                       finalText.value_or(earlier.lastPartialResult)));
}

void AppDelegate::finishTranscription() {
  auto transcript = closeUtterance();
  if (!transcript) return;

  if (transcript->empty()) {
    overlayPanel().dismiss();
    lastPartialResult_.clear();
    deliveries_->fill(place_, "");
    return;
  }
  if (refinementConfigured()) {
    startRefinement(*transcript);
    return;
  }
  overlayPanel().dismiss();
  deliveries_->fill(place_, *transcript);
  lastPartialResult_.clear();
}

std::optional<std::string> AppDelegate::closeUtterance() {
  invalidateFinalResultTimer();
  remoteFinalResultWait_.reset();
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
  pendingRefinement_ = PendingRefinement{utterance_, place_, transcript};
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
  const auto place = pendingRefinement_->place;
  pendingRefinement_.reset();

  if (const auto* refined = std::get_if<std::string>(&result)) {
    const std::string& text = refined->empty() ? transcript : *refined;
    if (text::canonicallyEqual(text, transcript)) {
      overlayPanel().dismiss();
      deliveries_->fill(place, text);
    } else {
      overlayPanel().updateText(concat(kRefinedPrefix, text));
      dismissThenDeliver(kRefinedTextDisplay, utterance, place, text);
    }
  } else {
    const auto& description = std::get<RefinerError>(result).localizedDescription();
    services_.systemLog.log(concat(kRefineFailedLogPrefix, description));
    overlayPanel().updateText(concat(kRefineFailedPrefix, description));
    dismissThenDeliver(kRefineFailureDisplay, utterance, place, transcript);
  }
  lastPartialResult_.clear();
}

void AppDelegate::dismissOverlayIfCurrent(std::uint64_t utterance) {
  // The capsule belongs to whichever utterance started last.
  if (utterance == utterance_) overlayPanel().dismiss();
}

void AppDelegate::dismissThenDeliver(double delay, std::uint64_t utterance, Place place,
                                     const std::string& text) {
  services_.mainQueue.postAfter(delay, [self = shared_from_this(), utterance, place, text] {
    self->dismissOverlayIfCurrent(utterance);
    self->deliveries_->fill(place, text);
  });
}

void AppDelegate::retryLastRecording() {
  const auto place = deliveries_->reserve();
  // The capsule is the retry's, unless an utterance is still using it, and until a new one
  // takes it.
  const bool capsuleInUse = isRecording_ || utteranceOpen_ || pendingRefinement_;
  const auto capsuleOwner = capsuleInUse ? 0 : ++utterance_;
  const bool started = components_.recordingRetry.retryLastRecording(
      [weak = weak_from_this(), place, capsuleOwner](const TranscriptionResult& result) {
        if (auto self = weak.lock()) self->retryCompleted(place, capsuleOwner, result);
      });
  if (!started) {
    deliveries_->fill(place, "");
    showAlert("No Recording to Retry",
              "Vellotype keeps a recording when the speech service cannot transcribe it. There "
              "is none to send again.");
    return;
  }
  if (capsuleOwner) {
    overlayPanel().show(std::string(kTranscribingText));
    overlayPanel().waveformView().setIsAnimating(false);
  }
}

void AppDelegate::handleNotPasted() {
  services_.systemLog.log(std::string(kNotPastedLog));
  // A recording under way keeps the capsule: the log has it, and the text waits on the clipboard.
  if (isRecording_ || utteranceOpen_ || pendingRefinement_) return;
  const auto capsuleOwner = ++utterance_;
  overlayPanel().show(std::string(kNotPastedText));
  overlayPanel().waveformView().setIsAnimating(false);
  services_.mainQueue.postAfter(kNotPastedDisplay, [weak = weak_from_this(), capsuleOwner] {
    if (auto self = weak.lock()) self->dismissOverlayIfCurrent(capsuleOwner);
  });
}

void AppDelegate::retryCompleted(Place place, std::uint64_t capsuleOwner,
                                 const TranscriptionResult& result) {
  const auto* text = std::get_if<std::string>(&result);
  deliveries_->fill(place, text ? *text : "");
  if (!capsuleOwner) return;
  if (text) {
    dismissOverlayIfCurrent(capsuleOwner);
    return;
  }
  if (capsuleOwner != utterance_) return;
  overlayPanel().updateText(concat(kErrorPrefix, std::get<TranscriptionError>(result).description));
  services_.mainQueue.postAfter(kErrorDisplay, [weak = weak_from_this(), capsuleOwner] {
    if (auto self = weak.lock()) self->dismissOverlayIfCurrent(capsuleOwner);
  });
}

void AppDelegate::invalidateFinalResultTimer() {
  if (finalResultTimer_) finalResultTimer_->invalidate();
  finalResultTimer_.reset();
}

}  // namespace vellotype
