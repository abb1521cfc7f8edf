// The first way to the keyboard that works is the one used, for the hotkey and for the paste.

#include <gmock/gmock.h>

#include "fakes/CallLog.h"
#include "fakes/FakeEventTap.h"
#include "fakes/FakeKeyboardEvents.h"
#include "fakes/FakeMainQueue.h"
#include "platform/keyboard/session/ClipboardBridgeKeyboardEvents.h"
#include "platform/keyboard/session/FirstReadyKeyboardEvents.h"
#include "platform/keyboard/session/FirstStartingEventTap.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using Result = EventTap::StartResult;

TEST(FirstStartingEventTap, TheFirstThatStartsHearsTheKeyAndATakenKeyIsWhatIsReported) {
  FakeEventTap portal, devices, x11;
  FirstStartingEventTap tap({{"portal", &portal}, {"devices", &devices}, {"x11", &x11}});
  portal.startResult = Result::unavailable;
  EXPECT_EQ(tap.start(TriggerKey::defaultKey(),
                      [](const KeyEvent&) { return EventTap::Disposition::remove; }),
            Result::started);
  EXPECT_EQ(tap.activeName(), "devices");
  EXPECT_TRUE(devices.running());
  EXPECT_FALSE(x11.running()) << "only one listens";
  tap.stop();
  EXPECT_FALSE(devices.running());
  EXPECT_EQ(tap.activeName(), "");

  devices.startResult = Result::unavailable;
  x11.startResult = Result::keyInUse;
  EXPECT_EQ(tap.start(TriggerKey::defaultKey(), {}), Result::keyInUse);
  x11.startResult = Result::unavailable;
  EXPECT_EQ(tap.start(TriggerKey::defaultKey(), {}), Result::unavailable);
}

TEST(FirstReadyKeyboardEvents, TheFirstWayReadyNowTypesTheChord) {
  FakeMainQueue queue;
  CallLog portalLog{queue}, x11Log{queue};
  FakeKeyboardEvents portal{portalLog}, x11{x11Log};
  x11.focusedClasses = {"xterm"};
  bool allowed = false;
  FirstReadyKeyboardEvents keyboard(
      {{"portal", &portal, [&] { return allowed; }}, {"x11", &x11, {}}});
  keyboard.postKeyChord(9, modifiers::kControl);
  EXPECT_EQ(keyboard.focusedWindowClasses(), std::vector<std::string>{"xterm"});
  allowed = true;  // the user said yes to the desktop's question
  keyboard.postKeyChord(9, modifiers::kControl);
  EXPECT_EQ(keyboard.readyName(), "portal");
  EXPECT_THAT(portalLog.calls(), ::testing::ElementsAre("keyboard: chord 9 40000"));
  EXPECT_THAT(x11Log.calls(), ::testing::ElementsAre("keyboard: chord 9 40000"));
}

TEST(ClipboardBridgeKeyboardEvents, TheKeystrokeWaitsUntilTheCompositorHasSeenTheClipboard) {
  FakeMainQueue queue;
  CallLog log{queue};
  FakeKeyboardEvents inner{log};
  bool offered = true;
  ClipboardBridgeKeyboardEvents keyboard(inner, queue, [&] { return offered; });
  keyboard.postKeyChord(9, modifiers::kControl);
  EXPECT_THAT(log.timeline(), ::testing::ElementsAre("0 keyboard: chord 9 40000"));

  log.clear();
  offered = false;
  keyboard.postKeyChord(9, modifiers::kControl);
  queue.advanceBy(0.05);
  EXPECT_EQ(log.size(), 0u);
  offered = true;
  queue.advanceBy(0.005);
  EXPECT_THAT(log.timeline(), ::testing::ElementsAre("55 keyboard: chord 9 40000"));

  // A compositor that never asks still gets the keystroke, before the clipboard comes back.
  log.clear();
  offered = false;
  keyboard.postKeyChord(9, modifiers::kControl);
  queue.advanceBy(ClipboardBridgeKeyboardEvents::kLongestWait - 0.001);
  EXPECT_EQ(log.size(), 0u);
  queue.runUntilIdle();
  EXPECT_THAT(log.timeline(), ::testing::ElementsAre("255 keyboard: chord 9 40000"));
}

}  // namespace
}  // namespace vellotype
