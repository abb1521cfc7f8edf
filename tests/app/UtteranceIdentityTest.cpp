// Work left over from one utterance never acts on the next one, and nothing the user said is
// lost or delivered twice.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;

// The calls recorded between two moments of virtual time, without their times.
std::vector<std::string> callsBetween(const CallLog& log, double from, double to) {
  std::vector<std::string> calls;
  for (const auto& e : log.entries()) {
    if (e.time >= seconds(from) && e.time < seconds(to)) calls.push_back(e.call);
  }
  return calls;
}

TEST(UtteranceIdentityFinalWait, EarlierTimerNeverFinishesALaterUtterance) {
  AppHarness h;
  h.app->triggerDown();
  h.speech->onPartialResult("one");
  h.app->triggerUp();  // its wait would end at 2.0
  h.queue.advanceTo(seconds(0.5));
  h.app->triggerDown();
  h.speech->onPartialResult("two");
  h.queue.advanceTo(seconds(1.0));
  h.app->triggerUp();  // this wait ends at 3.0

  h.queue.advanceTo(seconds(2.9));
  EXPECT_EQ(h.log.count("overlay: dismiss"), 0u);
  EXPECT_EQ(h.log.count("inject: two"), 0u);
  EXPECT_EQ(h.overlay->text, "two");

  h.queue.advanceTo(seconds(3.0));
  EXPECT_EQ(h.log.timeOf("overlay: dismiss"), seconds(3.0));
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.timeOf("inject: two"), seconds(3.1));
  EXPECT_EQ(h.log.count("inject: one"), 1u);
}

TEST(UtteranceIdentityFinalWait, PressWhileAwaitingTheFinalResultDeliversTheNewestPartialFirst) {
  AppHarness h;
  h.enableRefinement();  // a request would be cancelled by the very press that finishes it
  h.app->triggerDown();
  h.speech->onPartialResult("draft text");
  h.app->triggerUp();
  h.queue.advanceTo(seconds(0.3));
  const auto mark = h.log.size();
  h.app->triggerDown();

  EXPECT_THAT(h.log.callsSince(mark),
              ElementsAre("refiner: cancel", "statusImage: Voice Input Recording",
                          "overlay: show Listening...", "sound: Tink", "speech: start"));
  h.queue.advanceTo(seconds(0.4));
  EXPECT_EQ(h.log.timeOf("inject: draft text"), seconds(0.4));
  EXPECT_EQ(h.overlay->text, "Listening...");
  EXPECT_TRUE(h.overlay->visible);
  EXPECT_EQ(h.app->lastPartialResult(), "");
  EXPECT_EQ(h.log.count("refiner: refine draft text"), 0u);
}

TEST(UtteranceIdentityLateResults, FinalResultAfterTheWaitRanOutIsNotDeliveredAgain) {
  AppHarness h;
  h.app->triggerDown();
  h.speech->onPartialResult("hello wor");
  h.app->triggerUp();
  h.queue.advanceTo(seconds(2.5));
  ASSERT_EQ(h.log.count("inject: hello wor"), 1u);

  const auto mark = h.log.size();
  h.speech->onFinalResult("hello world");
  h.speech->onPartialResult("hello world");
  h.speech->onError("No speech detected");
  h.queue.runUntilIdle();
  EXPECT_TRUE(h.log.callsSince(mark).empty());
  EXPECT_EQ(h.app->lastPartialResult(), "");

  // Nor may late words overwrite what the capsule shows while refining.
  h.enableRefinement();
  h.app->triggerDown();
  h.speech->onPartialResult("again");
  h.app->triggerUp();
  h.queue.runUntilIdle();
  ASSERT_EQ(h.overlay->text, "Refining...");
  h.speech->onPartialResult("again and again");
  EXPECT_EQ(h.overlay->text, "Refining...");
}

class UtteranceIdentityCancelledRefinement : public ::testing::Test {
 protected:
  // "first words" is being refined when the key goes down again at 1.0.
  void SetUp() override {
    h.enableRefinement();
    h.app->triggerDown();
    h.app->triggerUp();
    h.speech->onFinalResult("first words");
    ASSERT_TRUE(h.refiner.hasRequestInFlight());
    h.queue.advanceTo(seconds(1.0));
  }

  AppHarness h;
};

TEST_F(UtteranceIdentityCancelledRefinement, DeliversTheRawWordsATenthAfterTheCancel) {
  const auto mark = h.log.size();
  h.app->triggerDown();
  EXPECT_EQ(h.log.callsSince(mark).front(), "refiner: cancel");
  h.speech->onPartialResult("second");
  h.queue.advanceTo(seconds(1.1));

  EXPECT_EQ(h.log.timeOf("inject: first words"), seconds(1.1));
  EXPECT_EQ(h.log.timeOf("sound: Pop"), seconds(1.1));
  // The new utterance is untouched by the cancelled reply.
  EXPECT_EQ(h.overlay->text, "second");
  EXPECT_TRUE(h.overlay->visible);
  EXPECT_EQ(h.app->lastPartialResult(), "second");
  EXPECT_TRUE(h.systemLog.lines.empty());
  h.queue.advanceTo(seconds(5.0));
  EXPECT_EQ(h.log.count("overlay: dismiss"), 0u);
  EXPECT_EQ(h.log.count("inject: first words"), 1u);
}

TEST_F(UtteranceIdentityCancelledRefinement, TheNewUtteranceIsStillRefinedNormally) {
  h.app->triggerDown();
  h.speech->onPartialResult("second");
  h.app->triggerUp();
  h.speech->onFinalResult("second");
  h.refiner.reply(std::string("Second."));
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("overlay: text \u2728 Second."), 1u);
  EXPECT_EQ(h.log.count("inject: Second."), 1u);
}

TEST_F(UtteranceIdentityCancelledRefinement, AReplyAlreadyOnItsWayIsIgnoredToo) {
  h.refiner.reply(std::string("First words."));  // queued, not yet run, when the key goes down
  h.app->triggerDown();
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: first words"), 1u);
  EXPECT_EQ(h.log.count("inject: First words."), 0u);
  EXPECT_EQ(h.overlay->text, "Listening...");
}

TEST(UtteranceIdentityDeferredDismissal, EarlierDisplaysNeverHideTheNewCapsule) {
  AppHarness h;
  h.enableRefinement();
  h.app->triggerDown();
  h.speech->onError("Recognition hiccup");  // would dismiss at 1.5
  h.app->triggerUp();
  h.speech->onFinalResult("their going");
  h.refiner.reply(std::string("They're going."));
  h.queue.advanceTo(seconds(0.5));  // the correction shows until 1.0
  h.app->triggerDown();
  h.speech->onPartialResult("next");

  h.queue.advanceTo(seconds(2.0));
  EXPECT_EQ(h.log.count("overlay: dismiss"), 0u);
  EXPECT_TRUE(h.overlay->visible);
  EXPECT_EQ(h.overlay->text, "next");
  EXPECT_EQ(h.log.timeOf("inject: They're going."), seconds(1.1));
  EXPECT_THAT(callsBetween(h.log, 1.0, 2.0), ElementsAre("inject: They're going.", "sound: Pop"));
}

}  // namespace
}  // namespace vellotype
