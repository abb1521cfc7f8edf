#include <gmock/gmock.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// With Control as the trigger, Control+C must neither flash the capsule nor sound: the feedback
// waits until the key has been held alone for a moment, but no word said meanwhile is lost.
TEST(RecordingControllerKeys, AModifierTriggerShowsItselfOnlyOnceHeldAloneForAMoment) {
  AppHarness h;
  h.app->triggerDown();
  h.speech->onPartialResult("hello");
  h.queue.advanceBy(0.2 - 1e-9);
  EXPECT_THAT(h.log.calls(), ::testing::Contains("speech: start"));
  EXPECT_EQ(h.log.count("sound: Tink"), 0u);
  EXPECT_EQ(h.statusBar.toolTip, "Vellotype");
  h.queue.advanceBy(1e-9);
  EXPECT_EQ(h.log.count("overlay: show hello"), 1u) << "the words already heard";
  EXPECT_EQ(h.log.count("sound: Tink"), 1u);
  EXPECT_EQ(h.statusBar.toolTip, "Vellotype is listening");

  AppHarness chord;
  chord.app->triggerDown();
  chord.queue.advanceBy(0.15);
  chord.keyMonitor->report(chord.keyMonitor->onChordKey);
  chord.queue.runUntilIdle();
  EXPECT_EQ(chord.log.count("speech: cancel"), 1u);
  for (const auto& call : chord.log.calls()) {
    EXPECT_THAT(call, ::testing::Not(::testing::AnyOf(::testing::StartsWith("overlay"),
                                                      ::testing::StartsWith("sound"),
                                                      ::testing::StartsWith("statusImage: Voice "
                                                                            "Input Recording"))));
  }

  AppHarness failing;
  failing.speech->startError = "Audio engine failed: Connection refused";
  failing.app->triggerDown();
  failing.queue.advanceBy(0.2);
  EXPECT_TRUE(failing.overlay->visible) << "a failure is shown at once";
  EXPECT_EQ(failing.overlay->text, "Error: Audio engine failed: Connection refused");

  AppHarness f5;
  f5.keyMonitor->setTriggerKey({TriggerKey::Kind::keyCode, std::nullopt, 96, "F5"});
  f5.app->triggerDown();
  EXPECT_THAT(f5.log.calls(),
              ::testing::IsSupersetOf({"overlay: show Listening...", "sound: Tink"}))
      << "no shortcut begins with F5";
}

TEST(RecordingControllerKeys, AReleaseThatNeverComesEndsTheRecordingAfterTwoMinutes) {
  AppHarness h;
  h.app->triggerDown();
  h.speech->onPartialResult("words");
  h.queue.advanceTo(seconds(120) - VirtualTime(1));
  EXPECT_TRUE(h.app->isRecording());
  h.queue.advanceBy(1e-9);
  EXPECT_FALSE(h.app->isRecording());
  EXPECT_EQ(h.log.count("speech: stop"), 1u);
  EXPECT_EQ(h.log.count("keyMonitor: trigger Control"), 1u) << "its next press counts again";
  EXPECT_EQ(h.overlay->text, "Stopped after 2 minutes: the key's release never came");
  EXPECT_EQ(h.systemLog.lines.size(), 1u);
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: words"), 1u) << "what was said is delivered";

  h.app->triggerDown();
  h.queue.advanceBy(100);
  h.app->triggerUp();
  h.queue.advanceBy(10);
  h.app->triggerDown();
  h.queue.advanceBy(15);
  EXPECT_TRUE(h.app->isRecording()) << "a release in time stops that press's clock";
}

TEST(RecordingControllerKeys, OnlyAPressStartsAndOnlyItsReleaseStopsARecording) {
  AppHarness h;
  const auto pending = h.queue.pendingCount();
  h.app->triggerUp();
  EXPECT_EQ(h.queue.pendingCount(), pending) << "a release without a press starts no wait";
  h.app->triggerDown();
  h.app->triggerDown();
  h.queue.advanceBy(0.2);
  EXPECT_EQ(h.log.count("speech: start"), 1u);
  EXPECT_EQ(h.statusBar.toolTip, "Vellotype is listening");
  EXPECT_EQ(h.statusBar.tint, Color::systemRed());
  const auto mark = h.log.size();
  h.app->triggerUp();
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("statusImage: Voice Input", "speech: stop"));
  EXPECT_EQ(h.statusBar.toolTip, "Vellotype");
  EXPECT_EQ(h.statusBar.tint, std::nullopt);
}

// What happens from 1.5 s on, in milliseconds, when the key goes down at 0 and up at 1.0, words
// come at 1.2, the final result (if any) at 1.5 and the refiner's reply (if refining) at 2.0.
TEST(RecordingControllerDelivery, EachPathShowsDismissesAndPastesExactlyOnTime) {
  const std::string refining = "1500 overlay: text Refining...";
  const std::string failed = "Refine failed: The request timed out.";
  const std::string invalidURL = "Refine failed: Invalid API base URL";
  // clang-format off
  const struct {
    std::string words;
    std::optional<std::string> final;
    std::optional<RefineResult> reply;
    std::vector<std::string> timeline;
  } rows[] = {
      {"hello wor", "hello world", {},
       {"1500 overlay: dismiss", "1600 inject: hello world", "1600 sound: Pop"}},
      {"  hello wor \n", {}, {},
       {"3000 overlay: dismiss", "3100 inject: hello wor", "3100 sound: Pop"}},
      {"", {}, {}, {"3000 overlay: dismiss"}},
      {"hello", "\u3000\u0085\u00a0\u2028 \n\t", {}, {"1500 overlay: dismiss"}},
      {"hello", "\thello\u2029\r\n", "hello",
       {refining, "1500 refiner: refine hello", "2000 overlay: dismiss", "2100 inject: hello",
        "2100 sound: Pop"}},
      {"hello", "hello", "",
       {refining, "1500 refiner: refine hello", "2000 overlay: dismiss", "2100 inject: hello",
        "2100 sound: Pop"}},
      // The same text, é precomposed and with a combining accent: no correction to show.
      {"caf\u00e9", "caf\u00e9", "cafe\u0301",
       {refining, "1500 refiner: refine caf\u00e9", "2000 overlay: dismiss",
        "2100 inject: cafe\u0301", "2100 sound: Pop"}},
      {"their going", "their going", "They're going.",
       {refining, "1500 refiner: refine their going", "2000 overlay: text \u2728 They're going.",
        "3000 overlay: dismiss", "3100 inject: They're going.", "3100 sound: Pop"}},
      {"hello", "hello", RefinerError::transport("The request timed out."),
       {refining, "1500 refiner: refine hello", "2000 syslog: [LLMRefiner] " + failed,
        "2000 overlay: text " + failed, "3500 overlay: dismiss", "3600 inject: hello",
        "3600 sound: Pop"}},
      // An invalid base URL fails inside the refine call itself.
      {"hello", "hello", RefinerError::invalidURL(),
       {refining, "1500 refiner: refine hello", "1500 syslog: [LLMRefiner] " + invalidURL,
        "1500 overlay: text " + invalidURL, "3000 overlay: dismiss", "3100 inject: hello",
        "3100 sound: Pop"}},
  };
  // clang-format on
  for (const auto& r : rows) {
    AppHarness h;
    if (r.reply) h.enableRefinement();
    if (r.reply == RefineResult(RefinerError::invalidURL())) h.refiner.immediateResult = r.reply;
    h.app->triggerDown();
    h.queue.advanceBy(1.0);
    h.app->triggerUp();
    h.queue.advanceBy(0.2);
    h.speech->onPartialResult(r.words);
    h.queue.advanceBy(0.3);
    if (r.final) h.speech->onFinalResult(*r.final);
    h.queue.advanceBy(0.5);
    if (r.reply && h.refiner.hasRequestInFlight()) h.refiner.reply(*r.reply);
    h.queue.runUntilIdle();
    EXPECT_EQ(h.log.timeline(seconds(1.5)), r.timeline);
    EXPECT_EQ(h.app->lastPartialResult(), "");
  }
}

TEST(RecordingControllerCapsule, LevelsReachTheBarsUntilRefiningStopsThem) {
  AppHarness h;
  h.enableRefinement();
  h.app->triggerDown();
  h.queue.advanceBy(0.2);
  h.speech->onAudioLevel(0.25f);
  EXPECT_THAT(h.overlay->levels, ElementsAre(0.25f));
  EXPECT_TRUE(h.overlay->animating);
  h.speech->onPartialResult("words");
  h.app->triggerUp();
  h.speech->onFinalResult("words");
  EXPECT_EQ(h.overlay->text, "Refining...");
  EXPECT_FALSE(h.overlay->animating) << "the bars stand still while the text is corrected";
}

TEST(RecordingControllerDelivery, TextNobodyPastedIsAnnouncedForTwoSecondsAndLogged) {
  AppHarness h;
  h.queue.advanceTo(seconds(1.0));
  h.injector->onNotPasted();
  EXPECT_EQ(h.overlay->text, "Not pasted: press Control+V");
  EXPECT_THAT(h.systemLog.lines, ElementsAre("[TextInjector] Not pasted: no application took the "
                                             "text, which was left on the clipboard"));
  h.queue.advanceTo(seconds(3.0) - VirtualTime(1));
  EXPECT_TRUE(h.overlay->visible);
  h.queue.advanceBy(1e-9);
  EXPECT_FALSE(h.overlay->visible);
}

TEST(RecordingControllerDelivery, RefinementNeedsBothTheSwitchAndAKeyUntrimmed) {
  for (const auto& [enabled, key, refines] : {std::tuple{true, "sk-1", true},
                                              {true, " ", true},
                                              {true, "", false},
                                              {true, nullptr, false},
                                              {false, "sk-1", false}}) {
    AppHarness h;
    h.preferences.setBool(prefs::kLLMEnabled, enabled);
    if (key) h.preferences.setString(prefs::kLLMAPIKey, key);
    h.speak("text");
    h.speech->onFinalResult("text");
    h.queue.runUntilIdle();
    EXPECT_EQ(h.log.count("refiner: refine text"), std::size_t(refines))
        << enabled << (key ? key : "<absent>");
    EXPECT_EQ(h.log.count("inject: text"), std::size_t(!refines)) << "else pasted unrefined";
  }
}

TEST(RecordingControllerFailures, ErrorShowsForOneAndAHalfSecondsAndTheUtteranceGoesOn) {
  for (const bool atStart : {true, false}) {
    AppHarness h;
    if (atStart) h.speech->startError = "no microphone";
    h.app->triggerDown();
    if (!atStart) h.speech->onError("no microphone");
    EXPECT_EQ(h.overlay->text, "Error: no microphone");
    h.queue.advanceBy(1.499);
    EXPECT_TRUE(h.overlay->visible);
    h.queue.advanceBy(0.001);
    EXPECT_FALSE(h.overlay->visible);

    h.speech->onPartialResult("still here");
    EXPECT_EQ(h.overlay->text, "still here") << "later words update the hidden capsule";
    h.app->triggerUp();
    h.queue.runUntilIdle();
    EXPECT_EQ(h.log.count("speech: stop"), 1u);
    EXPECT_EQ(h.log.count("inject: still here"), 1u) << atStart;
  }
}

TEST(RecordingControllerFailures, UnavailableLanguageShowsOneWarningWithOK) {
  AppHarness h;
  h.speech->onLocaleUnavailable("Speech recognition is not supported for ko-KR");
  ASSERT_EQ(h.alerts.shown.size(), 1u);
  const auto& alert = h.alerts.shown[0];
  EXPECT_EQ(alert.messageText, "Language Unavailable");
  EXPECT_EQ(alert.informativeText, "Speech recognition is not supported for ko-KR");
  EXPECT_EQ(alert.style, Alert::Style::warning);
  EXPECT_THAT(alert.buttons, ElementsAre("OK"));
}

TEST(RecordingControllerFailures, NothingHappensOnceTheApplicationIsGone) {
  AppHarness h;
  h.enableRefinement();
  h.speak("hello");
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

}  // namespace
}  // namespace vellotype
