// Work left over from one utterance never acts on the next one, and nothing the user said is
// lost or delivered twice.

#include <gmock/gmock.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(UtteranceIdentityFinalWait, APressWhileAwaitingTheFinalResultDeliversTheNewestPartialFirst) {
  AppHarness h;
  h.enableRefinement();  // a request would be cancelled by the very press that finishes it
  h.speak("one");        // its wait would end at 2.0
  h.queue.advanceTo(seconds(0.5));
  const auto mark = h.log.size();
  h.app->triggerDown();
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("refiner: cancel", "speech: start"));
  h.speech->onPartialResult("two");
  h.queue.advanceTo(seconds(1.0));
  h.app->triggerUp();  // this wait ends at 3.0
  h.queue.advanceTo(seconds(2.9));
  EXPECT_EQ(h.log.timeOf("inject: one"), seconds(0.6));
  EXPECT_EQ(h.overlay->text, "two");
  h.queue.advanceTo(seconds(3.0));
  EXPECT_EQ(h.log.timeOf("refiner: refine two"), seconds(3.0)) << "finished by its own wait only";
  h.speech->onFinalResult("two words");  // nor may a late final result finish it again
  EXPECT_EQ(h.log.count("refiner: refine two words"), 0u);
  EXPECT_EQ(h.log.count("overlay: dismiss"), 0u);
}

TEST(UtteranceIdentityLateResults, NothingArrivingAfterTheWaitRanOutIsShownOrDelivered) {
  AppHarness h;
  h.speak("hello wor");
  h.queue.advanceTo(seconds(2.5));
  const auto mark = h.log.size();
  h.speech->onFinalResult("hello world");
  h.speech->onPartialResult("hello world");
  h.speech->onError("No speech detected");
  h.queue.runUntilIdle();
  EXPECT_THAT(h.log.callsSince(mark), IsEmpty());
  EXPECT_EQ(h.log.count("inject: hello wor"), 1u);

  h.enableRefinement();
  h.speak("again");
  h.queue.runUntilIdle();
  h.speech->onPartialResult("again and again");
  EXPECT_EQ(h.overlay->text, "Refining...");
}

TEST(UtteranceIdentityCancelledRefinement, DeliversTheRawWordsATenthLaterAndSparesTheNewOne) {
  AppHarness h;
  h.enableRefinement();
  h.speak("first words");
  h.speech->onFinalResult("first words");
  h.queue.advanceTo(seconds(1.0));
  h.app->triggerDown();
  h.speech->onPartialResult("second");
  h.queue.advanceTo(seconds(3.0));
  EXPECT_EQ(h.log.timeOf("inject: first words"), seconds(1.1));
  EXPECT_EQ(h.log.timeOf("sound: Pop"), seconds(1.1));
  EXPECT_EQ(h.log.count("overlay: dismiss"), 0u);
  EXPECT_EQ(h.overlay->text, "second");
  EXPECT_EQ(h.app->lastPartialResult(), "second");
  EXPECT_THAT(h.systemLog.lines, IsEmpty());

  h.app->triggerUp();
  h.speech->onFinalResult("second");
  h.refiner.reply(std::string("Second."));
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("overlay: text \u2728 Second."), 1u);
  EXPECT_EQ(h.log.count("inject: Second."), 1u);
  EXPECT_EQ(h.log.count("inject: first words"), 1u);
}

TEST(UtteranceIdentityCancelledRefinement, AReplyAlreadyOnItsWayIsIgnoredToo) {
  AppHarness h;
  h.enableRefinement();
  h.speak("first words");
  h.speech->onFinalResult("first words");
  h.refiner.reply(std::string("First words."));  // queued, not yet run, when the key goes down
  h.app->triggerDown();
  h.queue.advanceBy(1);
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
  h.queue.advanceTo(seconds(2.0));
  EXPECT_EQ(h.log.count("overlay: dismiss"), 0u);
  EXPECT_TRUE(h.overlay->visible);
  EXPECT_EQ(h.log.timeOf("inject: They're going."), seconds(1.1));
}

}  // namespace
}  // namespace vellotype
