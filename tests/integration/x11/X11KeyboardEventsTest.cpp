#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "FocusedWindow.h"
#include "ObservedEventTap.h"
#include "TestMainQueue.h"
#include "XTestKeyboard.h"
#include "XvfbServer.h"
#include "hotkey/KeyMonitor.h"
#include "platform/x11/X11EventTap.h"
#include "platform/x11/X11KeyboardEvents.h"

namespace vellotype::testing {
namespace {

using ::testing::AnyOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Key = FocusedWindow::Key;

// X keycodes; kDone is typed last to know that everything before it went through (Right Super,
// which no test triggers on).
constexpr std::uint8_t kLeftControl = 37, kLeftShift = 50, kLeftAlt = 64, kV = 55, kB = 56,
                       kDone = 134;
constexpr std::uint16_t kVKeyCode = 9, kDoneMacCode = 0x36, kControlMacCode = 0x3B;
constexpr std::uint64_t kControl = 0x40000, kShift = 0x20000;
constexpr std::uint32_t kKeysymV = 0x76, kKeysymB = 0x62, kCyrillicEm = 0x6cd;

class X11KeyboardEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (xvfb.display().empty()) GTEST_SKIP() << "no X server for this test: " << xvfb.error();
    window.emplace(xvfb.display());
    ASSERT_TRUE(window->ready()) << "the test window could not take the focus";
    keyboard.emplace(xvfb.display());
  }

  // The window's presses and releases of one key, each with the core modifier state.
  std::vector<std::string> received(std::uint8_t keycode, std::size_t atLeast) {
    window->waitUntil([&](const std::vector<Key>& keys) {
      return std::size_t(std::count_if(keys.begin(), keys.end(), [&](const Key& k) {
               return k.keycode == keycode;
             })) >= atLeast;
    });
    std::vector<std::string> texts;
    for (const auto& k : window->keys()) {
      if (k.keycode == keycode) {
        texts.push_back((k.press ? "press " : "release ") + std::to_string(k.state));
      }
    }
    return texts;
  }

  // Once the tap has seen a key typed after everything else, every report has been posted.
  void settle() {
    keyboard->press(kDone);
    keyboard->release(kDone);
    const auto rounds = ++settled;
    ASSERT_TRUE(observed.waitUntil([&](const std::vector<KeyEvent>& events) {
      return std::count_if(events.begin(), events.end(), [](const KeyEvent& e) {
               return e.keyCode == kDoneMacCode && e.modifierFlags == 0;
             }) == rounds;
    }));
    queue.runPending();
  }

  XvfbServer xvfb;
  TestMainQueue queue;
  X11EventTap tap{xvfb.display()};
  ObservedEventTap observed{tap};
  X11KeyboardEvents events{tap, xvfb.display()};
  std::optional<FocusedWindow> window;
  std::optional<XTestKeyboard> keyboard;
  long settled = 0;
};

TEST_F(X11KeyboardEventsTest, ChordCarriesExactlyItsModifiersWhateverTheUserHolds) {
  keyboard->press(kLeftShift);
  keyboard->press(kLeftAlt);
  ASSERT_TRUE(window->waitUntil([](const std::vector<Key>& keys) { return keys.size() == 2; }));
  const auto before = keyboard->heldKeys();

  events.postKeyChord(kVKeyCode, kControl);
  EXPECT_THAT(received(kV, 2), ElementsAre("press 4", "release 4"));  // ControlMask alone
  EXPECT_TRUE((keyboard->heldKeys() & ~before).none()) << "a key was left down";

  events.postKeyChord(kVKeyCode, kControl | kShift);
  EXPECT_THAT(received(kV, 4), ElementsAre("press 4", "release 4", "press 5", "release 5"));
  EXPECT_TRUE(keyboard->heldKeys().none()) << "a key was left down";
}

TEST_F(X11KeyboardEventsTest, ChordKeyIsTheOneTypingVInTheLayout) {
  // "v" and "b" change places, as on a layout that moves letters.
  ASSERT_TRUE(keyboard->setSymbols(kV, kKeysymB, kKeysymB - 0x20));
  ASSERT_TRUE(keyboard->setSymbols(kB, kKeysymV, kKeysymV - 0x20));
  events.postKeyChord(kVKeyCode, kControl);
  EXPECT_THAT(received(kB, 2), ElementsAre("press 4", "release 4"));

  // A layout with no "v" at all, as Russian alone: the key where V would be.
  ASSERT_TRUE(keyboard->setSymbols(kB, kCyrillicEm, kCyrillicEm + 0x20));
  events.postKeyChord(kVKeyCode, kControl);
  EXPECT_THAT(received(kV, 2), ElementsAre("press 4", "release 4"));
}

TEST_F(X11KeyboardEventsTest, ControlTriggerNeverSeesThePasteChord) {
  std::vector<std::string> reports;
  const auto monitor = std::make_shared<KeyMonitor>(
      observed, queue,
      TriggerKey{TriggerKey::Kind::modifier, TriggerKey::Modifier::control, 0, "Control"});
  monitor->onKeyDown = [&] { reports.push_back("down"); };
  monitor->onKeyUp = [&] { reports.push_back("up"); };
  monitor->onChordKey = [&] { reports.push_back("chord"); };
  ASSERT_EQ(monitor->start(), EventTap::StartResult::started);

  events.postKeyChord(kVKeyCode, kControl);
  EXPECT_THAT(received(kV, 2), ElementsAre("press 4", "release 4"));
  settle();
  EXPECT_THAT(reports, IsEmpty());

  // A Control the user holds across a chord (a terminal's) is reported as ever; the chord is not.
  keyboard->press(kLeftControl);
  ASSERT_TRUE(queue.runUntil([&] { return !reports.empty(); }));
  events.postKeyChord(kVKeyCode, kControl | kShift);
  EXPECT_THAT(received(kV, 4), ElementsAre("press 4", "release 4", "press 5", "release 5"));
  keyboard->release(kLeftControl);
  settle();
  EXPECT_THAT(reports, ElementsAre("down", "up"));
  std::vector<std::uint16_t> filtered;
  for (const auto& e : observed.events()) filtered.push_back(e.keyCode);
  EXPECT_THAT(filtered, Each(AnyOf(kDoneMacCode, kControlMacCode)));
}

TEST_F(X11KeyboardEventsTest, FocusedWindowClassesNameTheClientWindow) {
  window->setClass("Vellotype-Test", "VellotypeTest");
  const std::vector<std::string> ours = {"vellotype-test", "vellotypetest"};
  EXPECT_EQ(events.focusedWindowClasses(), ours);

  auto* c = xcb_connect(xvfb.display().c_str(), nullptr);
  const auto root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const auto newWindow = [&](std::uint32_t parent) {
    const auto id = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, id, parent, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    return id;
  };
  // Some toolkits focus a child of their client window.
  const auto child = newWindow(window->id());
  xcb_map_window(c, child);
  std::free(xcb_request_check(
      c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, child, XCB_CURRENT_TIME)));
  EXPECT_EQ(events.focusedWindowClasses(), ours);

  // A window manager's active window comes first, unless it names a window that is gone.
  const auto other = newWindow(root);
  constexpr std::string_view kXTerm("xterm\0XTerm\0", 12);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, other, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                      kXTerm.size(), kXTerm.data());
  constexpr std::string_view kActive = "_NET_ACTIVE_WINDOW";
  auto* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, kActive.size(), kActive.data()), nullptr);
  const auto setActive = [&](std::uint32_t id) {
    std::free(
        xcb_request_check(c, xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, root, atom->atom,
                                                         XCB_ATOM_WINDOW, 32, 1, &id)));
  };
  setActive(other);
  EXPECT_THAT(events.focusedWindowClasses(), ElementsAre("xterm", "xterm"));
  xcb_destroy_window(c, other);
  setActive(other);
  EXPECT_EQ(events.focusedWindowClasses(), ours);
  std::free(atom);
  xcb_disconnect(c);
}

}  // namespace
}  // namespace vellotype::testing
