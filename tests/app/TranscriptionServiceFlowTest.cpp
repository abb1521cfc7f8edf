// Utterances whose final text comes from a transcription service: the longer wait, its failure,
// transcriptions that outlive the next key-down, the order of deliveries, the first-start offer
// and Retry Last Recording.

#include <gmock/gmock.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr double kServiceWait = 16;  // what the engine says the service may take

// Key down at 0, up at 1.0, with the service making the final text.
void pressAndRelease(AppHarness& h, const std::string& words = "") {
  h.speech->remoteWait = kServiceWait;
  h.app->triggerDown();
  if (!words.empty()) h.speech->onPartialResult(words);
  h.queue.advanceBy(1.0);
  h.app->triggerUp();
}

TEST(ServiceFinalResult, TranscribingShowsUntilTheServiceAnswersLongAfterTheLocalWait) {
  AppHarness h;
  pressAndRelease(h);
  EXPECT_EQ(h.overlay->text, "Transcribing...");
  h.queue.advanceTo(seconds(4.0));
  h.speech->onFinalResult("Bonjour.");
  h.queue.runUntilIdle();
  EXPECT_THAT(h.log.timeline(seconds(3.0)),
              ElementsAre("4000 overlay: dismiss", "4100 inject: Bonjour.", "4100 sound: Pop"));

  // A service that never answers is given up on just after its own limit.
  pressAndRelease(h);
  const auto released = h.queue.now();
  h.queue.advanceTo(released + seconds(kServiceWait + 1) - VirtualTime(1));
  EXPECT_TRUE(h.overlay->visible);
  h.queue.advanceBy(1e-9);
  EXPECT_FALSE(h.overlay->visible);
}

TEST(ServiceFinalResult, AFailureShowsItsReasonThenDeliversTheLocalWordsItHeld) {
  AppHarness h;
  pressAndRelease(h, "local words");
  EXPECT_EQ(h.overlay->text, "local words") << "live words stay while the service works";
  h.queue.advanceTo(seconds(1.5));
  h.speech->onError("Speech service unreachable");
  EXPECT_EQ(h.overlay->text, "Error: Speech service unreachable");
  h.queue.runUntilIdle();
  EXPECT_THAT(h.log.timeline(seconds(1.6)),
              ElementsAre("3000 overlay: dismiss", "3100 inject: local words", "3100 sound: Pop"));
}

TEST(ServiceInFlight, ANewPressKeepsItAndEveryTextArrivesInTheOrderItWasSpoken) {
  AppHarness h;
  pressAndRelease(h);  // recording 1: the service is at work on it
  h.queue.advanceTo(seconds(1.5));
  h.speech->remoteWait.reset();
  h.app->triggerDown();  // recording 2, on this computer
  EXPECT_EQ(h.log.count("overlay: dismiss"), 0u);
  h.speech->onPartialResult("second");
  h.app->triggerUp();
  h.speech->onFinalResult("second");
  pressAndRelease(h, "third heard");  // recording 3 gives up on the service
  h.speech->onError("The speech service did not answer within 16 s");
  h.queue.advanceTo(seconds(6.0));
  EXPECT_EQ(h.log.count("inject: second"), 0u) << "waits for the first";
  h.speech->onEarlierResult(1, "first partial", false);
  h.speech->onEarlierResult(1, "first", true);
  h.speech->onEarlierResult(1, "late", true);
  h.queue.runUntilIdle();
  EXPECT_THAT(h.log.timeline(seconds(6.0)),
              ElementsAre("6100 inject: first", "6100 sound: Pop", "6500 inject: second",
                          "6500 sound: Pop", "6900 inject: third heard", "6900 sound: Pop"));
  EXPECT_THAT(h.log.callsSince(0), ::testing::Contains("overlay: text Error: The speech service "
                                                       "did not answer within 16 s"));
}

TEST(ServiceInFlight, AnEarlierFailureOrSilenceGivesUpItsTurnWithItsNewestWords) {
  AppHarness h;
  pressAndRelease(h, "one");
  h.app->triggerDown();  // 1 is kept: the service still works on it
  h.speech->onPartialResult("two");
  h.app->triggerUp();
  h.app->triggerDown();  // 2 is kept as well
  h.app->triggerUp();
  h.speech->onFinalResult("three");
  h.speech->onEarlierError(2, "The speech service failed (HTTP 500)");
  h.queue.advanceBy(5.0);
  EXPECT_EQ(h.log.count("inject: two"), 0u) << "behind 1";
  // 1 never answers: it is given up on at the end of its wait with the words it had.
  h.queue.runUntilIdle();
  EXPECT_THAT(h.log.calls(),
              ::testing::IsSupersetOf({"inject: one", "inject: two", "inject: three"}));
  EXPECT_LT(h.log.timeOf("inject: one"), h.log.timeOf("inject: two"));
  EXPECT_LT(h.log.timeOf("inject: two"), h.log.timeOf("inject: three"));
  EXPECT_EQ(h.log.timeOf("inject: one"), seconds(1.0 + kServiceWait + 1 + 0.1));
}

TEST(ServiceSetup, AtStartALanguageNothingRecognisesOffersTheServiceOrEnglishOnce) {
  for (const std::size_t answer : {0u, 1u, 2u}) {
    AppHarness h(false);
    h.speech->unavailable = {"zh-CN"};
    h.alerts.answers = {answer};
    h.app->applicationDidFinishLaunching();
    ASSERT_EQ(h.alerts.shown.size(), 1u);
    EXPECT_EQ(h.alerts.shown[0].messageText, "Set Up Speech Recognition");
    EXPECT_THAT(h.alerts.shown[0].buttons,
                ElementsAre("Set Up Speech Service...", "Use English (US)", "Later"));
    EXPECT_THAT(h.alerts.shown[0].informativeText,
                ::testing::HasSubstr("\u4e2d\u6587 (\u7b80\u4f53)"));
    EXPECT_EQ(h.log.count("speechServiceWindow: show"), answer == 0 ? 1u : 0u);
    EXPECT_EQ(h.speech->locale, answer == 1 ? "en-US" : "zh-CN");
    EXPECT_EQ(h.menuItem({"Language", "English (US)"}).state(),
              answer == 1 ? MenuItem::State::on : MenuItem::State::off);
  }
  AppHarness recognised;
  EXPECT_THAT(recognised.alerts.shown, IsEmpty());
}

TEST(ServiceSetup, SavedSettingsRebuildTheRecogniserWithoutAnAlert) {
  AppHarness h;
  h.menuItem({"Language", "Speech Service..."}).perform();
  EXPECT_THAT(h.log.calls(),
              ::testing::IsSupersetOf({"speechServiceWindow: show", "app: activate"}));
  h.speechServiceWindow->onChange();
  EXPECT_EQ(h.log.count("speech: refresh"), 1u);
  EXPECT_THAT(h.alerts.shown, IsEmpty());
}

TEST(RetryLastRecording, TypesTheKeptRecordingsTextOrSaysWhyNot) {
  AppHarness h;
  h.menuItem({"Retry Last Recording"}).perform();
  ASSERT_EQ(h.alerts.shown.size(), 1u);
  EXPECT_EQ(h.alerts.shown[0].messageText, "No Recording to Retry");

  h.retry.kept = {"en-US", "ja-JP"};
  h.menuItem({"Retry Last Recording"}).perform();
  EXPECT_EQ(h.log.count("retry: ja-JP"), 1u);
  EXPECT_EQ(h.overlay->text, "Transcribing...");
  h.retry.reply(TranscriptionError{"The speech service failed (HTTP 502)"});
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("overlay: text Error: The speech service failed (HTTP 502)"), 1u);
  EXPECT_FALSE(h.overlay->visible);

  h.menuItem({"Retry Last Recording"}).perform();
  h.retry.reply(std::string("\u4eca\u65e5\u306f\u3002"));
  const auto replied = h.queue.now();
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.timeOf("inject: \u4eca\u65e5\u306f\u3002"), replied + seconds(0.1));
  EXPECT_FALSE(h.overlay->visible);
  EXPECT_THAT(h.retry.kept, ElementsAre("en-US"));
}

}  // namespace
}  // namespace vellotype
