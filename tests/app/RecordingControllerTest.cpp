#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppHarness.h"
#include "visual/StatusBarIcon.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(RecordingControllerKeys, PressAndReleaseRunTheirStepsInOrder) {
  AppHarness h;
  h.app->triggerUp();
  EXPECT_EQ(h.queue.pendingCount(), 0u) << "a release without a press starts no wait";

  auto mark = h.log.size();
  h.app->triggerDown();
  EXPECT_TRUE(h.app->isRecording());
  EXPECT_THAT(h.log.callsSince(mark),
              ElementsAre("refiner: cancel", "statusImage: Voice Input Recording",
                          "overlay: show Listening...", "sound: Tink", "speech: start"));

  h.speech->onPartialResult("hello");
  mark = h.log.size();
  h.app->triggerDown();  // the key is already down: ignored
  EXPECT_THAT(h.log.callsSince(mark), IsEmpty());
  EXPECT_EQ(h.app->lastPartialResult(), "hello");

  h.app->triggerUp();
  EXPECT_FALSE(h.app->isRecording());
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("statusImage: Voice Input", "speech: stop"));
  h.queue.runUntilIdle();
  h.app->triggerDown();
  EXPECT_EQ(h.overlaysMade, 1) << "the capsule is made once and kept";
}

TEST(RecordingControllerStatusIcon, RecordingLookOnlyWhileTheKeyIsHeld) {
  AppHarness h;
  const auto& button = h.statusBar;
  EXPECT_EQ(button.image, &StatusBarIcon::image(false));
  EXPECT_EQ(button.imagePosition, StatusItemButton::ImagePosition::imageOnly);
  EXPECT_EQ(button.toolTip, "Vellotype");
  EXPECT_EQ(button.tint, std::nullopt);

  h.app->triggerDown();
  EXPECT_EQ(button.image, &StatusBarIcon::image(true));
  EXPECT_EQ(button.toolTip, "Vellotype is listening");
  EXPECT_EQ(button.tint, Color::systemRed());

  h.app->triggerUp();
  EXPECT_EQ(button.image, &StatusBarIcon::image(false));
  EXPECT_EQ(button.toolTip, "Vellotype");
  EXPECT_EQ(button.tint, std::nullopt);
}

TEST(RecordingControllerStatusIcon, WithoutAStatusAreaUtterancesStillWork) {
  AppHarness h(/*launched=*/false);
  h.statusBar.hasButton = false;
  h.app->applicationDidFinishLaunching();
  h.app->triggerDown();
  h.app->triggerUp();
  h.speech->onFinalResult("hi");
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: hi"), 1u);
  EXPECT_EQ(h.statusBar.image, nullptr);
}

TEST(RecordingControllerSpeech, ErrorShowsForOneAndAHalfSecondsAndTheUtteranceGoesOn) {
  AppHarness h;
  h.app->triggerDown();
  h.speech->onAudioLevel(0.75f);
  EXPECT_EQ(h.overlay->lastLevel, 0.75f);
  h.speech->onError("Recognition failed");
  EXPECT_EQ(h.overlay->text, "Error: Recognition failed");
  EXPECT_TRUE(h.app->isRecording());

  h.queue.advanceBy(1.499);
  EXPECT_TRUE(h.overlay->visible);
  h.queue.advanceBy(0.001);
  EXPECT_FALSE(h.overlay->visible);

  h.speech->onPartialResult("still here");
  EXPECT_EQ(h.overlay->text, "still here") << "later words update the hidden capsule";
  h.app->triggerUp();
  h.speech->onFinalResult("still here");
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: still here"), 1u);
}

TEST(RecordingControllerSpeech, FailedStartStillWaitsAfterReleaseAndDeliversNothing) {
  AppHarness h;
  h.speech->startError = "Audio engine failed: no microphone";
  h.app->triggerDown();
  EXPECT_EQ(h.overlay->text, "Error: Audio engine failed: no microphone");
  h.app->triggerUp();
  EXPECT_EQ(h.log.count("speech: stop"), 1u);
  h.queue.advanceBy(2.0);
  EXPECT_FALSE(h.overlay->visible);
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("sound: Pop"), 0u);
}

TEST(RecordingControllerSpeech, UnavailableLanguageShowsOneWarningWithOK) {
  AppHarness h;
  h.speech->onLocaleUnavailable("Speech recognition is not supported for ko-KR");
  ASSERT_EQ(h.alerts.shown.size(), 1u);
  const auto& alert = h.alerts.shown[0];
  EXPECT_EQ(alert.messageText, "Language Unavailable");
  EXPECT_EQ(alert.informativeText, "Speech recognition is not supported for ko-KR");
  EXPECT_EQ(alert.style, Alert::Style::warning);
  EXPECT_THAT(alert.buttons, ElementsAre("OK"));
}

TEST(RecordingControllerSpeech, NothingHappensOnceTheApplicationIsGone) {
  AppHarness h;
  h.enableRefinement();
  h.app->triggerDown();
  h.app->triggerUp();
  h.speech->onFinalResult("hello");  // now refining
  h.app.reset();
  const auto mark = h.log.size();
  h.speech->onPartialResult("late");
  h.speech->onError("late");
  h.speech->onLocaleUnavailable("late");
  h.refiner.reply(std::string("Hello."));
  h.queue.runUntilIdle();
  EXPECT_THAT(h.log.callsSince(mark), IsEmpty());
}

TEST(RecordingControllerFinishing, TranscriptIsTrimmedForDeliveryAndForRefinement) {
  AppHarness h;
  h.app->triggerDown();
  h.app->triggerUp();
  h.speech->onFinalResult("  word \n");
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: word"), 1u);

  h.enableRefinement();
  h.app->triggerDown();
  h.app->triggerUp();
  const auto mark = h.log.size();
  h.speech->onFinalResult("\t two  words\u3000\r\n");
  EXPECT_THAT(h.log.callsSince(mark),
              ElementsAre("waveform: animating 0", "overlay: text Refining...",
                          "refiner: refine two  words"));
}

TEST(RecordingControllerFinishing, RefinementNeedsBothTheSwitchAndAKey) {
  struct Case {
    std::optional<bool> enabled;
    std::optional<std::string> key;
    bool refines;
  };
  const Case cases[] = {
      {true, "sk-1", true},   {true, " ", true},  // the key is not trimmed
      {true, "", false},      {true, std::nullopt, false},
      {false, "sk-1", false}, {std::nullopt, "sk-1", false},
  };
  for (const auto& c : cases) {
    AppHarness h;
    if (c.enabled) h.preferences.setBool(prefs::kLLMEnabled, *c.enabled);
    if (c.key) h.preferences.setString(prefs::kLLMAPIKey, *c.key);
    h.app->triggerDown();
    h.app->triggerUp();
    h.speech->onFinalResult("text");
    EXPECT_EQ(h.log.count("refiner: refine text"), c.refines ? 1u : 0u)
        << "llmEnabled=" << c.enabled.value_or(false) << " key='" << c.key.value_or("<absent>")
        << "'";
    h.queue.runUntilIdle();
    if (!c.refines) {
      EXPECT_EQ(h.log.count("inject: text"), 1u) << "delivered unrefined";
    }
  }
}

TEST(RecordingControllerFinishing, OutcomeKnownInsideTheCallIsHandledLikeALaterOne) {
  AppHarness h;
  h.enableRefinement();
  h.refiner.immediateResult = RefinerError::invalidURL();
  h.app->triggerDown();
  h.app->triggerUp();
  h.speech->onFinalResult("hello");
  EXPECT_EQ(h.overlay->text, "Refine failed: Invalid API base URL");
  EXPECT_EQ(h.app->lastPartialResult(), "");
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: hello"), 1u);
}

}  // namespace
}  // namespace vellotype
