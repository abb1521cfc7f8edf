// The virtual-time queue every timing test relies on, and the timer built on the queue.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakeMainQueue.h"
#include "platform/OneShotTimer.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;

TEST(FakeMainQueue, RunsByDueTimeThenPostingOrderIncludingTasksPostedByTasks) {
  FakeMainQueue queue;
  std::vector<std::string> ran;
  queue.postAfter(0.2, [&] { ran.push_back("b"); });
  queue.postAfter(0.1, [&] {
    ran.push_back("a");
    queue.postAfter(0.1, [&] { ran.push_back("c"); });  // due with b, posted after it
    queue.postAfter(0.5, [&] { ran.push_back("d"); });
  });
  queue.post([&] { ran.push_back("now"); });
  queue.advanceBy(0.2);
  EXPECT_THAT(ran, ElementsAre("now", "a", "b", "c"));
  EXPECT_EQ(queue.now(), seconds(0.2));
  queue.runUntilIdle();
  EXPECT_EQ(queue.now(), seconds(0.6));
}

TEST(OneShotTimer, FiresOnceUnlessInvalidatedEvenWhenItsHandleIsDropped) {
  FakeMainQueue queue;
  int fired = 0;
  OneShotTimer::schedule(queue, 2.0, [&] { ++fired; });  // handle dropped at once
  auto held = std::make_shared<int>(0);
  auto invalidated = OneShotTimer::schedule(queue, 1.0, [&, held] { fired += 100; });
  invalidated->invalidate();
  EXPECT_FALSE(invalidated->isValid());
  EXPECT_EQ(held.use_count(), 1) << "invalidating releases what the block held";

  queue.advanceBy(1.999);
  EXPECT_EQ(fired, 0);
  queue.advanceBy(0.001);
  EXPECT_EQ(fired, 1);
  queue.runUntilIdle();
  EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace vellotype
