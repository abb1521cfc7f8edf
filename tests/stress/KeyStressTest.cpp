// Ten thousand presses of the trigger with shortcuts mixed in, typed while the main thread is
// held up as by a modal alert: the keyboard never freezes, no key stays down, and every
// recording the controller opens is closed once the main thread runs again.

#include <gtest/gtest.h>

#include <random>

#include "UserDesk.h"
#include "XvfbServer.h"
#include "app/AppHarness.h"
#include "hotkey/KeyMonitor.h"
#include "platform/keyboard/x11/X11EventTap.h"

namespace vellotype::testing {
namespace {

constexpr int kPresses = 10000;
// X keycodes: Left and Right Control, C, and Right Super to mark the end.
constexpr std::uint8_t kLeftControl = 37, kRightControl = 105, kC = 54, kDone = 134;

TEST(KeyStress, TenThousandPressesWhileTheMainThreadIsBusyLeaveNothingStuckOrOpen) {
  XvfbServer xvfb;
  if (xvfb.display().empty()) GTEST_SKIP() << "no X server: " << xvfb.error();
  UserDesk desk(xvfb.display());
  ASSERT_TRUE(desk.ready);

  X11EventTap tap(xvfb.display());
  std::shared_ptr<KeyMonitor> monitor;
  BasicAppHarness<ThreadSafeFakeMainQueue> h(true, [&](auto& harness) {
    harness.usedKeyMonitor = monitor =
        std::make_shared<KeyMonitor>(tap, harness.queue, TriggerKey::defaultKey());
  });
  ASSERT_TRUE(h.alerts.shown.empty()) << "the key filter did not start";

  // The main thread takes in nothing from here until every key has gone through. The keys come
  // in bursts, each waited for: faster than any hand, but not so fast that the X server's own
  // event queue, which holds a few hundred while the keyboard is frozen, runs over.
  std::mt19937 random(7);
  int chords = 0;
  std::size_t bursts = 0;
  for (int i = 0; i < kPresses; ++i) {
    const auto control = random() % 2 ? kLeftControl : kRightControl;
    desk.press(control);
    if (random() % 5 == 0) {
      desk.type({kC});
      ++chords;
    }
    desk.release(control);
    if (i % 50 == 49 || i == kPresses - 1) {
      desk.type({kDone});
      ++bursts;
      ASSERT_TRUE(desk.waitUntil([&] { return desk.of(kDone).size() == 2 * bursts; }))
          << "the keyboard froze after " << i + 1 << " presses";
    }
  }
  EXPECT_EQ(desk.of(kC).size(), 2u * chords) << "every shortcut reached the application";
  EXPECT_TRUE(desk.heldKeys().none()) << "a key was left down";

  ASSERT_TRUE(h.queue.runUntil([&] { return h.log.count("speech: start") == kPresses; },
                               std::chrono::seconds(30)));
  h.queue.advanceBy(60);
  EXPECT_FALSE(h.app->isRecording());
  EXPECT_EQ(h.log.count("speech: stop") + h.log.count("speech: cancel"), std::size_t(kPresses));
  EXPECT_EQ(h.log.count("speech: cancel"), std::size_t(chords));
  EXPECT_EQ(h.log.count("sound: Tink"), 0u) << "nobody held the key alone for a moment";
  monitor->stop();
}

}  // namespace
}  // namespace vellotype::testing
