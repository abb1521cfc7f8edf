// Ten thousand presses of the trigger with shortcuts mixed in, typed while the main thread is
// held up as by a modal alert: the keyboard never freezes, no key stays down, and every
// recording the controller opens is closed once the main thread runs again.

#include <gtest/gtest.h>

#include <random>

#include "UserDesk.h"
#include "XvfbServer.h"
#include "app/AppDelegate.h"
#include "fakes/FakeAlerts.h"
#include "fakes/FakeApplication.h"
#include "fakes/FakeHotkeySettingsWindow.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeOverlayPanel.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRecordingRetry.h"
#include "fakes/FakeRefiner.h"
#include "fakes/FakeSettingsWindow.h"
#include "fakes/FakeSounds.h"
#include "fakes/FakeSpeechEngine.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeSystemLog.h"
#include "fakes/FakeTextInjector.h"
#include "fakes/FakeWorkspace.h"
#include "fakes/ThreadSafeFakeMainQueue.h"
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

  ThreadSafeFakeMainQueue queue;
  CallLog calls{queue.clock()};
  FakePreferences preferences;
  FakeSounds sounds{calls};
  FakeAlerts alerts{calls};
  FakeSystemLog systemLog{calls};
  FakeStatusBar statusBar{calls};
  FakeApplication application{calls};
  FakeWorkspace workspace{calls};
  FakeLoginItems loginItems{calls};
  FakeRefiner refiner{calls, queue};
  FakeRecordingRetry retry{calls, queue};
  auto speech = std::make_shared<FakeSpeechEngine>(calls);
  X11EventTap tap(xvfb.display());
  auto monitor = std::make_shared<KeyMonitor>(tap, queue, TriggerKey::defaultKey());
  auto app = std::make_shared<AppDelegate>(
      AppDelegate::Services{queue, preferences, sounds, alerts, systemLog, statusBar, application,
                            workspace, loginItems, "file:///help"},
      AppDelegate::Components{
          .keyMonitor = monitor,
          .speechEngine = speech,
          .textInjector = std::make_shared<FakeTextInjector>(calls),
          .refiner = refiner,
          .recordingRetry = retry,
          .makeOverlayPanel = [&] { return std::make_shared<FakeOverlayPanel>(calls); },
          .makeHotkeySettingsWindow =
              [&] { return std::make_shared<FakeHotkeySettingsWindow>(calls); },
          .makeSettingsWindow = [&] { return std::make_shared<FakeSettingsWindow>(calls); },
          .makeSpeechServiceSettingsWindow =
              [&] { return std::make_shared<FakeSpeechServiceSettingsWindow>(calls); },
      });
  app->applicationDidFinishLaunching();
  ASSERT_TRUE(alerts.shown.empty()) << "the key filter did not start";

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

  ASSERT_TRUE(queue.runUntil([&] { return calls.count("speech: start") == kPresses; },
                             std::chrono::seconds(30)));
  queue.advanceBy(60);
  EXPECT_FALSE(app->isRecording());
  EXPECT_EQ(calls.count("speech: stop") + calls.count("speech: cancel"), std::size_t(kPresses));
  EXPECT_EQ(calls.count("speech: cancel"), std::size_t(chords));
  EXPECT_EQ(calls.count("sound: Tink"), 0u) << "nobody held the key alone for a moment";
  monitor->stop();
}

}  // namespace
}  // namespace vellotype::testing
