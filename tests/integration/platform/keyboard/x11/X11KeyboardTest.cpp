// The key filter and the paste chord against a real X server: XTest types at the keyboard, and
// another client's window holds the focus as the application in front of the user would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "TestMainQueue.h"
#include "UserDesk.h"
#include "XvfbServer.h"
#include "hotkey/KeyMonitor.h"
#include "platform/keyboard/x11/X11EventTap.h"
#include "platform/keyboard/x11/X11KeyboardEvents.h"
#include "values/ModifierFlags.h"

namespace vellotype::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;

// X keycodes. kDone, typed last to know that everything before it went through, is Right Super:
// no test triggers on it, so it is no chord either.
constexpr std::uint8_t kLeftControl = 37, kRightControl = 105, kLeftShift = 50, kLeftAlt = 64,
                       kRightAlt = 108, kC = 54, kV = 55, kB = 56, kF5 = 71, kDone = 134;
constexpr std::uint16_t kVKeyCode = 9, kDoneMacCode = 0x36;
using modifiers::kControl;
using modifiers::kShift;
constexpr std::uint32_t kKeysymV = 0x76, kKeysymB = 0x62, kCyrillicEm = 0x6cd;
const TriggerKey kEitherControl{Kind::modifier, Modifier::control, 0, "Control"};

// Records what the real tap hands to the filter, on the tap's thread, so that a test can wait for
// an event and check that each physical change came once. kDone is only counted.
class RecordingTap : public EventTap {
 public:
  explicit RecordingTap(EventTap& tap) : tap_(tap) {}
  StartResult start(const TriggerKey& trigger, Filter filter) override {
    return tap_.start(trigger, [this, filter = std::move(filter)](const KeyEvent& e) {
      const auto disposition = filter(e);
      char text[48];
      std::snprintf(text, sizeof text, "%s %X %llX",
                    e.type == KeyEvent::Type::flagsChanged ? "flags"
                    : e.type == KeyEvent::Type::keyUp      ? "up"
                    : e.autorepeat                         ? "repeat"
                                                           : "down",
                    e.keyCode, static_cast<unsigned long long>(e.modifierFlags));
      std::lock_guard lock(mutex_);
      if (e.keyCode != kDoneMacCode) events_.push_back(text);
      if (e.keyCode == kDoneMacCode && !(e.modifierFlags & flagMask(Modifier::command))) ++dones_;
      seen_.notify_all();
      return disposition;
    });
  }
  void stop() override { tap_.stop(); }
  // The events so far, after waiting up to two seconds for `done` to hold for them and the
  // count of kDone's releases.
  std::vector<std::string> events(
      const std::function<bool(const std::vector<std::string>&, std::size_t)>& done = {}) {
    std::unique_lock lock(mutex_);
    if (done) seen_.wait_for(lock, std::chrono::seconds(2), [&] { return done(events_, dones_); });
    return events_;
  }

 private:
  EventTap& tap_;
  std::mutex mutex_;
  std::condition_variable seen_;
  std::vector<std::string> events_;
  std::size_t dones_ = 0;
};

class X11Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xvfb.display().empty()) GTEST_SKIP() << "no X server for this test: " << xvfb.error();
    desk.emplace(xvfb.display());
    ASSERT_TRUE(desk->ready) << "the test window could not take the focus";
  }

  void startMonitor(const TriggerKey& key) {
    monitor = std::make_shared<KeyMonitor>(recorded, queue, key);
    monitor->onKeyDown = [this] { reports.push_back("down"); };
    monitor->onKeyUp = [this] { reports.push_back("up"); };
    monitor->onChordKey = [this] { reports.push_back("chord"); };
    ASSERT_EQ(monitor->start(), EventTap::StartResult::started);
  }

  // Once the window and the tap have both seen the last key, every earlier event has been
  // answered and every report posted.
  void settle() {
    desk->type({kDone});
    const auto rounds = ++settled;
    ASSERT_TRUE(desk->waitUntil([&] { return desk->of(kDone).size() == 2u * rounds; }));
    recorded.events([&](const auto&, std::size_t dones) { return dones == rounds; });
    queue.runPending();
  }

  std::vector<std::string> arrived(std::uint8_t keycode, std::size_t count) {
    desk->waitUntil([&] { return desk->of(keycode).size() >= count; });
    return desk->of(keycode);
  }
  bool received(std::uint8_t keycode) const { return !desk->of(keycode).empty(); }

  XvfbServer xvfb;
  TestMainQueue queue;
  X11EventTap tap{xvfb.display()};
  RecordingTap recorded{tap};
  X11KeyboardEvents events{tap, xvfb.display()};
  std::optional<UserDesk> desk;
  std::shared_ptr<KeyMonitor> monitor;  // declared last: it stops the tap when destroyed
  std::vector<std::string> reports;
  std::size_t settled = 0;
};

TEST_F(X11Keyboard, LoneControlOnEitherSideIsReportedOnceAndSwallowed) {
  startMonitor(kEitherControl);
  desk->type({kLeftControl, kRightControl});
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up", "down", "up"));
  EXPECT_THAT(recorded.events(),
              ElementsAre("flags 3B 40000", "flags 3B 0", "flags 3E 40000", "flags 3E 0"));
  EXPECT_FALSE(received(kLeftControl) || received(kRightControl));
}

TEST_F(X11Keyboard, ShiftWhileControlIsHeldIsNoChordButCIsAndReachesTheApplication) {
  startMonitor(kEitherControl);
  desk->press(kLeftControl);
  desk->type({kLeftShift});
  settle();
  EXPECT_THAT(reports, ElementsAre("down"));
  EXPECT_TRUE(received(kLeftShift));

  desk->type({kC});
  desk->release(kLeftControl);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "chord", "up"));
  EXPECT_THAT(arrived(kC, 2), ElementsAre("press 4", "release 4")) << "4: Control";
  EXPECT_THAT(recorded.events(), ElementsAre("flags 3B 40000", "flags 38 60000", "flags 38 40000",
                                             "down 8 40000", "up 8 40000", "flags 3B 0"));
}

// Typed within one millisecond, as a busy machine delivers them: an answer to the tap's release
// that came late would thaw the next press's frozen keyboard, and the shortcut's key would go to
// the tap alone.
TEST_F(X11Keyboard, AShortcutRightAfterALoneTapStillReachesTheApplication) {
  startMonitor(kEitherControl);
  desk->type({kLeftControl});
  desk->press(kLeftControl);
  desk->type({kC});
  desk->release(kLeftControl);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up", "down", "chord", "up"));
  EXPECT_THAT(arrived(kC, 2), ElementsAre("press 4", "release 4"));
}

TEST_F(X11Keyboard, RightOptionLeavesLeftAltToTheApplication) {
  startMonitor({Kind::modifier, Modifier::option, 61, "Right Option"});
  desk->type({kLeftAlt, kRightAlt});
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
  EXPECT_TRUE(received(kLeftAlt));
  EXPECT_FALSE(received(kRightAlt));
}

TEST_F(X11Keyboard, HeldF5IsReportedOnceAcrossRepeatsAndNeverTyped) {
  ASSERT_TRUE(desk->setRepeat(20, 10));
  startMonitor({Kind::keyCode, std::nullopt, 96, "F5"});
  desk->press(kF5);
  const auto repeats = [](const std::vector<std::string>& events, std::size_t) {
    return std::count(events.begin(), events.end(), "repeat 60 0") >= 3;
  };
  ASSERT_TRUE(repeats(recorded.events(repeats), 0)) << "the server did not repeat the held key";
  desk->release(kF5);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
  auto events = recorded.events();
  ASSERT_GE(events.size(), 5u);
  EXPECT_EQ(events.front() + ", " + events.back(), "down 60 0, up 60 0");
  EXPECT_EQ(std::count(events.begin(), events.end(), "repeat 60 0"), events.size() - 2);
  EXPECT_FALSE(received(kF5));
}

// As when the hotkey window closes while its new key is still held: only a new press counts.
TEST_F(X11Keyboard, AKeyHeldBeforeTheStartRepeatsIntoNothingUntilPressedAgain) {
  ASSERT_TRUE(desk->setRepeat(20, 10));
  desk->press(kF5);
  startMonitor({Kind::keyCode, std::nullopt, 96, "F5"});
  ASSERT_TRUE(desk->waitUntil([&] { return desk->of(kF5).size() >= 4; }))
      << "the server did not repeat the held key";
  desk->release(kF5);
  settle();
  EXPECT_THAT(reports, IsEmpty());
  EXPECT_THAT(recorded.events(), IsEmpty());
  desk->type({kF5});
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
}

TEST_F(X11Keyboard, StopWhileHeldReportsNothingAndFreesTheKey) {
  startMonitor(kEitherControl);
  desk->press(kLeftControl);
  ASSERT_TRUE(queue.runUntil([&] { return !reports.empty(); }));
  monitor->stop();
  desk->release(kLeftControl);
  EXPECT_TRUE(desk->waitUntil([&] {
    return received(kLeftControl) && desk->of(kLeftControl).back() == "release 4";
  })) << "the release after stop() should reach the application";
  queue.runPending();
  EXPECT_THAT(reports, ElementsAre("down"));
  EXPECT_THAT(recorded.events(), ElementsAre("flags 3B 40000"));
}

TEST_F(X11Keyboard, KeyGrabbedByAnotherProgramIsRefusedAndLeftAlone) {
  auto* c = desk->c;
  ASSERT_TRUE(desk->check(xcb_grab_key_checked(c, 0, desk->root, XCB_MOD_MASK_ANY, kLeftControl,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
  monitor = std::make_shared<KeyMonitor>(recorded, queue, kEitherControl);
  EXPECT_EQ(monitor->start(), EventTap::StartResult::keyInUse);
  // The other Control key, which could be grabbed, is not held back either.
  desk->type({kRightControl});
  EXPECT_EQ(arrived(kRightControl, 2).size(), 2u);

  ASSERT_TRUE(desk->check(xcb_ungrab_key_checked(c, kLeftControl, desk->root, XCB_MOD_MASK_ANY)));
  EXPECT_EQ(monitor->start(), EventTap::StartResult::started);
  EXPECT_EQ(X11EventTap(":65535").start(kEitherControl, nullptr),
            EventTap::StartResult::unavailable);
}

TEST_F(X11Keyboard, PasteChordKeyIsTheOneTypingVInTheLayout) {
  // "v" and "b" change places, as on a layout that moves letters.
  ASSERT_TRUE(desk->setSymbols(kV, kKeysymB, kKeysymB - 0x20));
  ASSERT_TRUE(desk->setSymbols(kB, kKeysymV, kKeysymV - 0x20));
  events.postKeyChord(kVKeyCode, kControl);
  EXPECT_THAT(arrived(kB, 2), ElementsAre("press 4", "release 4"));

  // A layout with no "v" at all, as Russian alone: the key where V would be.
  ASSERT_TRUE(desk->setSymbols(kB, kCyrillicEm, kCyrillicEm + 0x20));
  events.postKeyChord(kVKeyCode, kControl);
  EXPECT_THAT(arrived(kV, 2), ElementsAre("press 4", "release 4"));
}

TEST_F(X11Keyboard, PasteChordIsPlainControlVLeavesNoKeyDownAndNeverReachesTheTrigger) {
  startMonitor(kEitherControl);
  events.postKeyChord(kVKeyCode, kControl);
  EXPECT_THAT(arrived(kV, 2), ElementsAre("press 4", "release 4"));  // ControlMask alone
  settle();
  EXPECT_TRUE(reports.empty());

  // Whatever the user still holds, the trigger among them (Control+Shift+V is a terminal's).
  for (const auto k : {kLeftShift, kLeftAlt, kLeftControl}) desk->press(k);
  ASSERT_TRUE(queue.runUntil([&] { return !reports.empty(); }));
  const auto before = desk->heldKeys();
  events.postKeyChord(kVKeyCode, kControl);
  events.postKeyChord(kVKeyCode, kControl | kShift);
  EXPECT_THAT(arrived(kV, 6),
              ElementsAre("press 4", "release 4", "press 4", "release 4", "press 5", "release 5"));
  EXPECT_TRUE((desk->heldKeys() & ~before).none()) << "a key was left down";
  for (const auto k : {kLeftShift, kLeftAlt, kLeftControl}) desk->release(k);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
  EXPECT_THAT(recorded.events(), ElementsAre("flags 38 20000", "flags 3A A0000", "flags 3B E0000",
                                             "flags 38 C0000", "flags 3A 40000", "flags 3B 0"));
}

TEST_F(X11Keyboard, FocusedWindowClassesComeFromTheActiveOrElseTheFocusedWindow) {
  auto* c = desk->c;
  const auto set = [&](std::uint32_t window, std::uint32_t name, std::uint32_t type,
                       std::uint8_t format, std::string_view value) {
    return desk->check(xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, window, name, type,
                                                   format, value.size() * 8 / format,
                                                   value.data()));
  };
  using namespace std::string_view_literals;
  set(desk->window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, "Vellotype-Test\0Test\0"sv);
  EXPECT_THAT(events.focusedWindowClasses(), ElementsAre("vellotype-test", "test"));

  // A window manager names its active window, which may hold the focus through a frame.
  const auto terminal = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, terminal, desk->root, 0, 0, 10, 10, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
  set(terminal, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, "xterm\0XTerm\0"sv);
  auto* active = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 18, "_NET_ACTIVE_WINDOW"), nullptr);
  set(desk->root, active->atom, XCB_ATOM_WINDOW, 32, {reinterpret_cast<const char*>(&terminal), 4});
  std::free(active);
  EXPECT_THAT(events.focusedWindowClasses(), ElementsAre("xterm", "xterm"));
}

}  // namespace
}  // namespace vellotype::testing
