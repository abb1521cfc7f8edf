// The evdev key filter on fake device nodes: sockets the test writes input_event records into.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "fakes/TemporaryFolder.h"
#include "fakes/ThreadSafeFakeMainQueue.h"
#include "hotkey/KeyMonitor.h"
#include "platform/keyboard/evdev/EvdevEventTap.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using Outcome = EvdevKeyboardOpener::Opened::Outcome;
constexpr auto kStarted = EventTap::StartResult::started;
const TriggerKey kEitherControl;  // the default

// Writes each key as a keyboard reports it, one report each.
bool send(int fd, std::initializer_list<std::pair<std::uint16_t, std::int32_t>> keys) {
  std::vector<input_event> events;
  for (const auto& [code, value] : keys) {
    events.push_back({{}, EV_KEY, code, value});
    events.push_back({{}, EV_SYN, SYN_REPORT, 0});
  }
  const auto size = events.size() * sizeof events[0];
  return ::send(fd, events.data(), size, MSG_NOSIGNAL) == ssize_t(size);
}

// Stands in for /dev/input and the opener. As under udev, a node the group cannot read is denied.
class FakeInput {
 public:
  ~FakeInput() {
    for (const auto& [name, ends] : nodes_) close(ends.first), close(ends.second);
  }

  // The returned end takes the keyboard's events; shut for writing, it is unplugged.
  int plug(const std::string& name, mode_t mode = 0640) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) < 0) return -1;
    std::lock_guard lock(mutex_);
    nodes_[name] = {ends[0], ends[1]};
    close(::open((folder / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, mode));
    return ends[1];
  }

  EvdevKeyboardOpener::Opened open(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto found = nodes_.find(std::filesystem::path(path).filename());
    struct stat node;
    if (found == nodes_.end() || stat(path.c_str(), &node) < 0) return {};
    if (!(node.st_mode & S_IRGRP)) return {Outcome::denied, -1};
    return {Outcome::keyboard, std::exchange(found->second.first, -1)};
  }

  TemporaryFolder folder;

 private:
  std::mutex mutex_;
  std::map<std::string, std::pair<int, int>> nodes_;  // read end (until opened), write end
};

// A tap over a FakeInput that records what its filter is handed, as text.
class TappedKeyboards : public ::testing::Test {
 protected:
  // What the filter was handed since the last look, once there are `count` events.
  std::vector<std::string> next(std::size_t count) {
    std::unique_lock lock(mutex_);
    seen_.wait_for(lock, std::chrono::seconds(2), [&] { return events_.size() >= count; });
    return std::exchange(events_, {});
  }

  EventTap::StartResult start() {
    return tap.start(kEitherControl, [this](const KeyEvent& e) {
      const char* kind = e.type == KeyEvent::Type::keyUp ? "up" : e.autorepeat ? "repeat" : "down";
      if (e.type == KeyEvent::Type::flagsChanged) kind = "flags";
      char text[32];
      std::snprintf(text, sizeof text, "%s %X %" PRIX64, kind, e.keyCode, e.modifierFlags);
      std::lock_guard lock(mutex_);
      events_.push_back(text);
      seen_.notify_all();
      return EventTap::Disposition::remove;
    });
  }

  std::mutex mutex_;
  std::condition_variable seen_;
  std::vector<std::string> events_;
  FakeInput input;
  std::atomic<bool> inFront = true;
  EvdevEventTap tap{input.folder.path(),
                    [this](const std::string& path) { return input.open(path); },
                    [this] { return inFront.load(); }};
};

using EvdevEventTapKeys = TappedKeyboards;
using EvdevEventTapDevices = TappedKeyboards;

TEST_F(EvdevEventTapKeys, PressRepeatsAndReleaseCarryTheHeldFlagsOnceThePressWasSeen) {
  const int keyboard = input.plug("event0");
  ASSERT_EQ(start(), kStarted);
  send(keyboard, {{KEY_C, 2}, {KEY_C, 0}});  // held since before the tap started
  send(keyboard, {{KEY_LEFTCTRL, 1}, {KEY_LEFTCTRL, 2}, {KEY_C, 1}, {KEY_C, 2}, {KEY_C, 2}});
  send(keyboard, {{KEY_C, 0}, {KEY_LEFTCTRL, 2}, {KEY_LEFTCTRL, 0}});
  EXPECT_THAT(next(6), ElementsAre("flags 3B 40000", "down 8 40000", "repeat 8 40000",
                                   "repeat 8 40000", "up 8 40000", "flags 3B 0"));
}

// Keys typed at another user's desktop or another terminal reach these devices too.
TEST_F(EvdevEventTapKeys, KeysPressedWhileAnotherSessionIsInFrontAreNotTheUsers) {
  const int keyboard = input.plug("event0");
  ASSERT_EQ(start(), kStarted);
  send(keyboard, {{KEY_LEFTCTRL, 1}});
  EXPECT_THAT(next(1), ElementsAre("flags 3B 40000"));
  inFront = false;
  send(keyboard, {{KEY_C, 1}, {KEY_C, 0}, {KEY_LEFTCTRL, 0}});
  EXPECT_THAT(next(1), ElementsAre("flags 3B 0")) << "only the release of what began in front";
  TemporaryFolder logind;
  std::ofstream(logind / "c2") << "UID=1000\nACTIVE=0\nSTATE=online\n";
  std::ofstream(logind / "c3") << "UID=1000\nACTIVE=1\n";
  EXPECT_FALSE(LoginSession::isActive(logind / "c2"));
  EXPECT_TRUE(LoginSession::isActive(logind / "c3"));
  EXPECT_TRUE(LoginSession::isActive(logind / "none")) << "no logind: as before";
}

TEST_F(EvdevEventTapDevices, FlagsAreThoseHeldOnAllKeyboardsAndAKeyHeldOnTwoIsUpWhenBothLetGo) {
  const int left = input.plug("event0"), right = input.plug("event1");
  ASSERT_EQ(start(), kStarted);
  send(left, {{KEY_LEFTCTRL, 1}});
  EXPECT_THAT(next(1), ElementsAre("flags 3B 40000"));
  send(right, {{KEY_LEFTCTRL, 1}, {KEY_C, 1}, {KEY_C, 0}});
  EXPECT_THAT(next(2), ElementsAre("down 8 40000", "up 8 40000"));
  send(left, {{KEY_LEFTCTRL, 0}});
  send(right, {{KEY_C, 1}});
  EXPECT_THAT(next(1), ElementsAre("down 8 40000"));
  send(right, {{KEY_LEFTCTRL, 0}});
  EXPECT_THAT(next(1), ElementsAre("flags 3B 0"));
}

TEST_F(EvdevEventTapDevices, AKeyboardUnpluggedOrDroppingEventsMidHoldReleasesItsKeys) {
  const int unplugged = input.plug("event0"), dropping = input.plug("event1");
  ASSERT_EQ(start(), kStarted);
  send(unplugged, {{KEY_LEFTCTRL, 1}});
  EXPECT_THAT(next(1), ElementsAre("flags 3B 40000"));
  shutdown(unplugged, SHUT_WR);
  EXPECT_THAT(next(1), ElementsAre("flags 3B 0"));
  pollfd closedByTap{unplugged, POLLIN, 0};
  EXPECT_EQ(poll(&closedByTap, 1, 2000), 1) << "the unplugged keyboard is still read";
  // The fake node has no key state to ask for, so after the gap nothing is held.
  const input_event dropped[] = {
      {{}, EV_SYN, SYN_DROPPED, 0}, {{}, EV_KEY, KEY_A, 1}, {{}, EV_SYN, SYN_REPORT, 0}};
  send(dropping, {{KEY_C, 1}});
  ::send(dropping, dropped, sizeof dropped, MSG_NOSIGNAL);
  EXPECT_THAT(next(2), ElementsAre("down 8 0", "up 8 0"));
}

TEST_F(EvdevEventTapDevices, AKeyboardPluggedInWhileRunningIsReadOnceTheInputGroupMayReadIt) {
  input.plug("event0");
  ASSERT_EQ(start(), kStarted);
  // Once the later node is read, the tap has been denied the earlier one.
  const int restricted = input.plug("event1", 0600), later = input.plug("event2");
  send(later, {{KEY_C, 1}});
  EXPECT_THAT(next(1), ElementsAre("down 8 0"));
  chmod((input.folder / "event1").c_str(), 0640);
  send(restricted, {{KEY_LEFTCTRL, 1}});
  EXPECT_THAT(next(1), ElementsAre("flags 3B 40000"));
}

TEST_F(EvdevEventTapDevices, WithNoKeyboardToReadItIsUnavailableAndSaysWhy) {
  input.plug("mouse0");
  close(creat((input.folder / "event1").c_str(), 0640));  // no keyboard
  EXPECT_EQ(start(), EventTap::StartResult::unavailable);
  EXPECT_EQ(tap.lastProblem(), "No keyboard was found under " + input.folder.path().string() + ".");

  input.plug("event2", 0600);
  EXPECT_EQ(start(), EventTap::StartResult::unavailable);
  EXPECT_THAT(tap.lastProblem(), ::testing::HasSubstr("Add your user to the input group"));

  chmod((input.folder / "event2").c_str(), 0640);
  EXPECT_EQ(start(), kStarted);
  EXPECT_EQ(tap.lastProblem(), "");
}

TEST_F(EvdevEventTapDevices, StopWhileEventsFlowEndsTheReadingAndTheFilterIsNotCalledAfter) {
  const int keyboard = input.plug("event0");
  ASSERT_EQ(start(), kStarted);
  std::thread typist([&] {
    while (send(keyboard, {{KEY_C, 1}, {KEY_C, 0}})) continue;  // until the tap closes its end
  });
  EXPECT_GE(next(100).size(), 100u);
  tap.stop();
  next(0);
  typist.join();
  EXPECT_EQ(next(0).size(), 0u);
}

TEST_F(EvdevEventTapKeys, ControlCWhileControlIsHeldGivesTheKeyMonitorDownChordUp) {
  const int keyboard = input.plug("event0");
  ThreadSafeFakeMainQueue queue;
  auto monitor = std::make_shared<KeyMonitor>(tap, queue, kEitherControl);
  std::vector<std::string> reports;
  monitor->onKeyDown = [&] { reports.push_back("down"); };
  monitor->onChordKey = [&] { reports.push_back("chord"); };
  monitor->onKeyUp = [&] { reports.push_back("up"); };
  ASSERT_EQ(monitor->start(), kStarted);
  send(keyboard, {{KEY_LEFTCTRL, 1}, {KEY_C, 1}, {KEY_C, 0}, {KEY_LEFTCTRL, 0}});
  queue.runUntil([&] { return reports.size() >= 3; });
  EXPECT_THAT(reports, ElementsAre("down", "chord", "up"));
}

}  // namespace
}  // namespace vellotype
