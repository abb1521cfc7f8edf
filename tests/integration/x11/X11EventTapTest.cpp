#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "FocusedWindow.h"
#include "ObservedEventTap.h"
#include "TestMainQueue.h"
#include "XTestKeyboard.h"
#include "XvfbServer.h"
#include "hotkey/KeyMonitor.h"
#include "platform/x11/X11EventTap.h"

namespace vellotype::testing {
namespace {

using ::testing::ElementsAre;
using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;
using Key = FocusedWindow::Key;

// X keycodes. kDone is typed last to know that everything before it went through: Right Super,
// a modifier no test triggers on, so that it is no chord either.
constexpr std::uint8_t kLeftControl = 37, kRightControl = 105, kLeftShift = 50, kC = 54,
                       kLeftAlt = 64, kRightAlt = 108, kF5 = 71, kDone = 134;
constexpr std::uint16_t kDoneMacCode = 0x36;

const TriggerKey kEitherControl{Kind::modifier, Modifier::control, 0, "Control"};

// What the filter was handed, in a form a failure message can show.
std::string describe(const KeyEvent& e) {
  const char* type = e.type == KeyEvent::Type::flagsChanged ? "flags"
                     : e.type == KeyEvent::Type::keyUp      ? "up"
                     : e.autorepeat                         ? "repeat"
                                                            : "down";
  char text[48];
  std::snprintf(text, sizeof text, "%s %X %llX", type, e.keyCode,
                static_cast<unsigned long long>(e.modifierFlags));
  return text;
}

class X11EventTapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xvfb.display().empty()) GTEST_SKIP() << "no X server for this test: " << xvfb.error();
    window.emplace(xvfb.display());
    ASSERT_TRUE(window->ready()) << "the test window could not take the focus";
    keyboard.emplace(xvfb.display());
  }

  void startMonitor(const TriggerKey& key) {
    monitor = std::make_shared<KeyMonitor>(observed, queue, key);
    monitor->onKeyDown = [this] { reports.push_back("down"); };
    monitor->onKeyUp = [this] { reports.push_back("up"); };
    monitor->onChordKey = [this] { reports.push_back("chord"); };
    ASSERT_EQ(monitor->start(), EventTap::StartResult::started);
  }

  // Once the window and the tap have both seen the last key, every earlier event has been
  // answered and every report posted.
  void settle() {
    keyboard->press(kDone);
    keyboard->release(kDone);
    const auto rounds = ++settled;
    ASSERT_TRUE(window->waitUntil([&](const std::vector<Key>& keys) {
      return std::count_if(keys.begin(), keys.end(),
                           [](const Key& k) { return k.keycode == kDone && !k.press; }) == rounds;
    }));
    ASSERT_TRUE(observed.waitUntil([&](const std::vector<KeyEvent>& events) {
      return std::count_if(events.begin(), events.end(), [](const KeyEvent& e) {
               return e.keyCode == kDoneMacCode &&
                      (e.modifierFlags & flagMask(Modifier::command)) == 0;
             }) == rounds;
    }));
    queue.runPending();
  }

  // The filter's events, the final key left out.
  std::vector<std::string> filtered() {
    std::vector<std::string> texts;
    for (const auto& e : observed.events()) {
      if (e.keyCode != kDoneMacCode) texts.push_back(describe(e));
    }
    return texts;
  }

  XvfbServer xvfb;
  TestMainQueue queue;
  X11EventTap tap{xvfb.display()};
  ObservedEventTap observed{tap};
  std::optional<FocusedWindow> window;
  std::optional<XTestKeyboard> keyboard;
  std::shared_ptr<KeyMonitor> monitor;  // declared last: it stops the tap when destroyed
  std::vector<std::string> reports;
  long settled = 0;
};

TEST_F(X11EventTapTest, LoneControlOnEitherSideIsReportedOnceAndSwallowed) {
  startMonitor(kEitherControl);
  for (const auto control : {kLeftControl, kRightControl}) {
    keyboard->press(control);
    keyboard->release(control);
  }
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up", "down", "up"));
  EXPECT_THAT(filtered(),
              ElementsAre("flags 3B 40000", "flags 3B 0", "flags 3E 40000", "flags 3E 0"));
  EXPECT_FALSE(window->received(kLeftControl));
  EXPECT_FALSE(window->received(kRightControl));
}

TEST_F(X11EventTapTest, ControlCReachesTheApplicationWithControlInItsState) {
  startMonitor(kEitherControl);
  keyboard->press(kLeftControl);
  keyboard->press(kC);
  keyboard->release(kC);
  keyboard->release(kLeftControl);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "chord", "up"));
  EXPECT_THAT(filtered(),
              ElementsAre("flags 3B 40000", "down 8 40000", "up 8 40000", "flags 3B 0"));
  const auto& keys = window->keys();
  const auto c =
      std::find_if(keys.begin(), keys.end(), [](const Key& k) { return k.keycode == kC; });
  ASSERT_NE(c, keys.end());
  EXPECT_TRUE(c->press);
  EXPECT_NE(c->state & XCB_MOD_MASK_CONTROL, 0) << "the C arrived without Control";
}

TEST_F(X11EventTapTest, ShiftWhileControlIsHeldReportsNothingMore) {
  startMonitor(kEitherControl);
  keyboard->press(kLeftControl);
  keyboard->press(kLeftShift);
  keyboard->release(kLeftShift);
  settle();
  EXPECT_THAT(reports, ElementsAre("down"));
  EXPECT_TRUE(window->received(kLeftShift));

  keyboard->release(kLeftControl);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
}

TEST_F(X11EventTapTest, RightOptionLeavesLeftAltToTheApplication) {
  startMonitor({Kind::modifier, Modifier::option, 61, "Right Option"});
  keyboard->press(kLeftAlt);
  keyboard->release(kLeftAlt);
  keyboard->press(kRightAlt);
  keyboard->release(kRightAlt);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
  EXPECT_THAT(window->keys(), ::testing::Contains(::testing::Field(&Key::keycode, kLeftAlt)));
  EXPECT_FALSE(window->received(kRightAlt));
}

TEST_F(X11EventTapTest, HeldF5IsReportedOnceAcrossRepeatsAndNeverTyped) {
  ASSERT_TRUE(keyboard->setRepeat(20, 10));
  startMonitor({Kind::keyCode, std::nullopt, 96, "F5"});
  keyboard->press(kF5);
  ASSERT_TRUE(observed.waitUntil([](const std::vector<KeyEvent>& events) {
    return std::count_if(events.begin(), events.end(),
                         [](const KeyEvent& e) { return e.autorepeat; }) >= 3;
  })) << "the server did not repeat the held key";
  keyboard->release(kF5);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
  const auto events = filtered();
  ASSERT_GE(events.size(), 5u);
  std::vector<std::string> expected(events.size(), "repeat 60 0");
  expected.front() = "down 60 0";
  expected.back() = "up 60 0";
  EXPECT_EQ(events, expected);
  EXPECT_FALSE(window->received(kF5));
}

TEST_F(X11EventTapTest, StopWhileHeldReportsNothingAndFreesTheKey) {
  startMonitor(kEitherControl);
  keyboard->press(kLeftControl);
  ASSERT_TRUE(queue.runUntil([&] { return !reports.empty(); }));
  monitor->stop();
  keyboard->release(kLeftControl);
  EXPECT_TRUE(window->waitUntil([](const std::vector<Key>& keys) {
    return !keys.empty() && keys.back().keycode == kLeftControl && !keys.back().press;
  })) << "the release after stop() should reach the application";
  queue.runPending();
  EXPECT_THAT(reports, ElementsAre("down"));
  EXPECT_THAT(filtered(), ElementsAre("flags 3B 40000"));
}

TEST_F(X11EventTapTest, KeyGrabbedByAnotherProgramIsRefusedAndLeftAlone) {
  auto* other = xcb_connect(xvfb.display().c_str(), nullptr);
  const auto root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
  auto* error =
      xcb_request_check(other, xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_ANY, kLeftControl,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  ASSERT_EQ(error, nullptr);

  monitor = std::make_shared<KeyMonitor>(observed, queue, kEitherControl);
  EXPECT_EQ(monitor->start(), EventTap::StartResult::keyInUse);
  // The other Control key, which could be grabbed, is not held back either.
  keyboard->press(kRightControl);
  keyboard->release(kRightControl);
  EXPECT_TRUE(window->waitUntil([](const std::vector<Key>& keys) { return keys.size() == 2; }));

  xcb_ungrab_key(other, kLeftControl, root, XCB_MOD_MASK_ANY);
  std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));  // done
  EXPECT_EQ(monitor->start(), EventTap::StartResult::started);
  xcb_disconnect(other);
  EXPECT_EQ(X11EventTap(":65535").start(kEitherControl, nullptr),
            EventTap::StartResult::unavailable);
}

}  // namespace
}  // namespace vellotype::testing
