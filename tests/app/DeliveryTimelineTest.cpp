// When each step of delivery happens, checked to the step: never a moment early, exactly on
// time. The key goes down at 0 and up at 1.0.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

// Runs the clock to just before `time` and checks `call` has not happened yet, then to `time`
// and checks it has, once.
void expectAt(AppHarness& h, const std::string& call, double time) {
  const auto before = h.log.count(call);
  h.queue.advanceTo(seconds(time) - 1ns);
  EXPECT_EQ(h.log.count(call), before) << call << " came early";
  h.queue.advanceTo(seconds(time));
  EXPECT_EQ(h.log.count(call), before + 1) << call << " is missing at " << time;
}

void speakAndRelease(AppHarness& h, const std::string& partial, double releaseAt = 1.0) {
  h.app->triggerDown();
  if (!partial.empty()) h.speech->onPartialResult(partial);
  h.queue.advanceTo(seconds(releaseAt));
  h.app->triggerUp();
}

// The final result at 1.3 starts a refinement whose reply comes at 2.0.
void refineAndReply(AppHarness& h, const std::string& transcript, RefineResult reply) {
  h.enableRefinement();
  speakAndRelease(h, transcript);
  h.queue.advanceTo(seconds(1.3));
  h.speech->onFinalResult(transcript);
  EXPECT_EQ(h.overlay->text, "Refining...");
  h.queue.advanceTo(seconds(2.0));
  h.refiner.reply(std::move(reply));
  h.queue.advanceTo(seconds(2.0));
}

TEST(DeliveryTimeline, FinalResultHalfASecondAfterReleaseIsPastedAtSixTenths) {
  AppHarness h;
  speakAndRelease(h, "hello wor");
  h.queue.advanceTo(seconds(1.5));
  h.speech->onFinalResult("hello world");
  EXPECT_FALSE(h.overlay->visible) << "dismissed as the final result arrives";
  EXPECT_EQ(h.overlay->text, "hello wor") << "the final text is not shown";

  expectAt(h, "inject: hello world", 1.6);
  EXPECT_EQ(h.log.timeOf("sound: Pop"), seconds(1.6));
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("overlay: dismiss"), 1u) << "the 2.0 s wait must not fire as well";
}

TEST(DeliveryTimeline, WithoutAFinalResultTheNewestPartialIsPastedAtTwoPointOne) {
  AppHarness h;
  speakAndRelease(h, "hello wor");
  h.queue.advanceTo(seconds(2.5));
  h.speech->onPartialResult("hello world");  // words still arrive after the release
  EXPECT_EQ(h.overlay->text, "hello world");
  expectAt(h, "overlay: dismiss", 3.0);
  expectAt(h, "inject: hello world", 3.1);
  EXPECT_EQ(h.log.timeOf("sound: Pop"), seconds(3.1));
  EXPECT_EQ(h.log.count("inject: hello wor"), 0u);
}

TEST(DeliveryTimeline, NothingOrOnlyWhiteSpaceRecognisedDismissesAndPastesNothing) {
  AppHarness h;
  speakAndRelease(h, "");
  expectAt(h, "overlay: dismiss", 3.0);

  speakAndRelease(h, " \n\t", 4.0);
  h.speech->onFinalResult("\u3000 ");
  EXPECT_FALSE(h.overlay->visible);
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("sound: Pop"), 0u);
}

TEST(DeliveryTimeline, UnchangedEmptyOrEquivalentRefinementPastesATenthAfterTheReply) {
  const struct {
    std::string transcript;
    std::string reply;
    std::string pasted;
  } cases[] = {
      {"hello", "hello", "hello"},
      {"hello", "", "hello"},
      {"caf\u00e9", "cafe\u0301", "cafe\u0301"},  // é precomposed and with a combining accent
  };
  for (const auto& c : cases) {
    AppHarness h;
    refineAndReply(h, c.transcript, c.reply);
    EXPECT_FALSE(h.overlay->visible) << c.reply;
    expectAt(h, "inject: " + c.pasted, 2.1);
    EXPECT_EQ(h.log.timeOf("sound: Pop"), seconds(2.1));
    EXPECT_EQ(h.app->lastPartialResult(), "");
  }
}

TEST(DeliveryTimeline, ChangedRefinementShowsForOneSecondThenPastes) {
  AppHarness h;
  refineAndReply(h, "their going", std::string("They're going."));
  EXPECT_EQ(h.overlay->text, "\u2728 They're going.");
  expectAt(h, "overlay: dismiss", 3.0);
  expectAt(h, "inject: They're going.", 3.1);
  EXPECT_EQ(h.log.timeOf("sound: Pop"), seconds(3.1));
  EXPECT_EQ(h.log.count("inject: their going"), 0u);
}

TEST(DeliveryTimeline, FailedRefinementIsLoggedShownAndTheTranscriptPastedAtOnePointSix) {
  AppHarness h;
  refineAndReply(h, "hello", RefinerError::transport("The request timed out."));
  EXPECT_THAT(h.systemLog.lines, ElementsAre("[LLMRefiner] Refine failed: The request timed out."));
  EXPECT_EQ(h.overlay->text, "Refine failed: The request timed out.");
  expectAt(h, "overlay: dismiss", 3.5);
  expectAt(h, "inject: hello", 3.6);
  EXPECT_EQ(h.log.timeOf("sound: Pop"), seconds(3.6));
}

}  // namespace
}  // namespace vellotype
