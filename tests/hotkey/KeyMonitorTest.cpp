#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakeEventTap.h"
#include "fakes/FakeMainQueue.h"
#include "hotkey/KeyMonitor.h"

namespace vellotype {
namespace {

using Kind = TriggerKey::Kind;
using Modifier = TriggerKey::Modifier;
using Type = KeyEvent::Type;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint64_t kControl = 0x40000, kShift = 0x20000, kOption = 0x80000;

const TriggerKey kEitherControl{Kind::modifier, Modifier::control, 0, "Control"};
const TriggerKey kRightOption{Kind::modifier, Modifier::option, 61, "Right Option"};
const TriggerKey kF5{Kind::keyCode, std::nullopt, 96, "F5"};

KeyEvent event(Type type, std::uint16_t code, std::uint64_t flags, bool autorepeat = false) {
  KeyEvent e;
  e.type = type;
  e.keyCode = code;
  e.modifierFlags = flags;
  e.autorepeat = autorepeat;
  return e;
}
KeyEvent flags(std::uint16_t code, std::uint64_t flags) {
  return event(Type::flagsChanged, code, flags);
}
KeyEvent down(std::uint16_t code, std::uint64_t flags = 0) {
  return event(Type::keyDown, code, flags);
}
KeyEvent repeat(std::uint16_t code) { return event(Type::keyDown, code, 0, true); }
KeyEvent up(std::uint16_t code, std::uint64_t flags = 0) { return event(Type::keyUp, code, flags); }

// One event and what it must do: reach other applications or not, and report what.
struct Step {
  KeyEvent event;
  bool passes;
  std::vector<std::string> reports;
};

class KeyMonitorTest : public ::testing::Test {
 protected:
  void startWith(const TriggerKey& key) {
    monitor = std::make_shared<KeyMonitor>(tap, queue, key);
    monitor->onKeyDown = [this] { reports.push_back("down"); };
    monitor->onKeyUp = [this] { reports.push_back("up"); };
    monitor->onChordKey = [this] { reports.push_back("chord"); };
    ASSERT_EQ(monitor->start(), EventTap::StartResult::started);
  }

  void expectSteps(const std::vector<Step>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
      reports.clear();
      const auto disposition = tap.send(steps[i].event);
      EXPECT_THAT(reports, IsEmpty()) << "step " << i << " reported inside the tap callback";
      queue.runUntilIdle();
      EXPECT_EQ(disposition,
                steps[i].passes ? EventTap::Disposition::pass : EventTap::Disposition::remove)
          << "step " << i;
      EXPECT_EQ(reports, steps[i].reports) << "step " << i;
    }
  }

  FakeMainQueue queue;
  FakeEventTap tap;
  std::shared_ptr<KeyMonitor> monitor;
  std::vector<std::string> reports;
};

TEST_F(KeyMonitorTest, OrdinaryKeyReportsOnceAcrossRepeatsAndNeverReachesApplications) {
  startWith(kF5);
  expectSteps({
      {up(96), false, {}},  // held before the monitor started
      {down(96), false, {"down"}},
      {repeat(96), false, {}},
      {down(96), false, {}},
      {down(0), true, {}},
      {flags(96, kShift), true, {}},
      {up(96), false, {"up"}},
      {up(0), true, {}},
  });
}

TEST_F(KeyMonitorTest, EitherSideControlIgnoresOtherModifiersAndTheSecondControl) {
  startWith(kEitherControl);
  expectSteps({
      {flags(59, kControl), false, {"down"}},
      {flags(56, kControl | kShift), true, {}},
      {flags(56, kControl), true, {}},
      {flags(62, kControl), true, {}},  // Right Control joins
      {flags(59, kControl), true, {}},  // Left Control leaves; Control still held
      {flags(62, 0), false, {"up"}},
      {flags(56, kShift), true, {}},
      {flags(56, 0), true, {}},
  });
}

TEST_F(KeyMonitorTest, SideSpecificTriggerOwnsAllOfItsKeysChanges) {
  startWith(kRightOption);
  expectSteps({
      {flags(58, kOption), true, {}},  // Left Option
      {flags(58, 0), true, {}},
      {flags(61, 0), false, {}},  // bit clear while not pressed
      {flags(61, kOption), false, {"down"}},
      {flags(58, kOption), true, {}},
      {flags(61, kOption), false, {"up"}},  // up even though Option is still held
  });
}

TEST_F(KeyMonitorTest, KeyTypedWhileTheModifierIsHeldIsAChordReportedOnce) {
  startWith(kEitherControl);
  expectSteps({
      {flags(59, kControl), false, {"down"}},
      {down(8, kControl), true, {"chord"}},  // Control+C reaches the application
      {repeat(8), true, {}},
      {up(8, kControl), true, {}},
      {down(9, kControl), true, {}},  // still the same hold
      {flags(59, 0), false, {"up"}},
      {down(8), true, {}},
      {flags(59, kControl), false, {"down"}},
      {down(9, kControl), true, {"chord"}},  // a new hold reports again
  });
}

TEST_F(KeyMonitorTest, NewTriggerKeyWhileHeldForgetsTheHoldWithoutReporting) {
  startWith(kEitherControl);
  expectSteps({{flags(59, kControl), false, {"down"}}});
  monitor->setTriggerKey(kF5);
  EXPECT_EQ(tap.watched, kF5);
  EXPECT_EQ(monitor->triggerKey(), kF5);
  expectSteps({
      {flags(59, 0), true, {}},
      {down(96), false, {"down"}},
  });
}

TEST_F(KeyMonitorTest, StopWhileHeldReportsNothingAndTheReleaseIsARelease) {
  startWith(kF5);
  expectSteps({{down(96), false, {"down"}}});
  monitor->stop();
  EXPECT_FALSE(tap.running());
  queue.runUntilIdle();
  EXPECT_THAT(reports, ElementsAre("down"));
  monitor->start();
  expectSteps({{up(96), false, {}}});

  startWith(kEitherControl);
  expectSteps({{flags(62, kControl), false, {"down"}}});
  monitor->stop();
  monitor->start();
  expectSteps({{flags(62, 0), true, {}}});
}

TEST_F(KeyMonitorTest, StartReportsRefusalAndRestartsCleanly) {
  monitor = std::make_shared<KeyMonitor>(tap, queue, kEitherControl);
  tap.startResult = EventTap::StartResult::unavailable;
  EXPECT_EQ(monitor->start(), EventTap::StartResult::unavailable);
  EXPECT_FALSE(tap.running());

  tap.startResult = EventTap::StartResult::started;
  EXPECT_EQ(monitor->start(), EventTap::StartResult::started);
  EXPECT_EQ(monitor->start(), EventTap::StartResult::started);
  EXPECT_TRUE(tap.running());
  EXPECT_EQ(tap.watched, kEitherControl);
}

TEST_F(KeyMonitorTest, ReportsAfterTheMonitorIsGoneOrWithoutCallbacksDoNothing) {
  startWith(kF5);
  monitor->onKeyUp = nullptr;
  expectSteps({{down(96), false, {"down"}}, {up(96), false, {}}});
  tap.send(down(96));
  monitor.reset();
  EXPECT_FALSE(tap.running()) << "a destroyed monitor must not stay in the keyboard's path";
  queue.runUntilIdle();
  EXPECT_THAT(reports, IsEmpty());
}

}  // namespace
}  // namespace vellotype
