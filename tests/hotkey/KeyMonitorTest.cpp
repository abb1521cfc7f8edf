#include <gmock/gmock.h>

#include "fakes/FakeEventTap.h"
#include "fakes/FakeMainQueue.h"
#include "hotkey/KeyMonitor.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using Type = KeyEvent::Type;

using modifiers::kControl;
using modifiers::kOption;
using modifiers::kShift;
const TriggerKey kEitherControl{TriggerKey::Kind::modifier, TriggerKey::Modifier::control, 0,
                                "Control"};
const TriggerKey kRightOption{TriggerKey::Kind::modifier, TriggerKey::Modifier::option, 61,
                              "Right Option"};
const TriggerKey kF5{TriggerKey::Kind::keyCode, std::nullopt, 96, "F5"};

KeyEvent flags(std::uint16_t code, std::uint64_t flags) {
  return {Type::flagsChanged, code, flags, std::nullopt};
}
KeyEvent down(std::uint16_t code, std::uint64_t flags = 0) {
  return {Type::keyDown, code, flags, std::nullopt};
}
KeyEvent repeat(std::uint16_t code) { return {Type::keyDown, code, 0, std::nullopt, true}; }
KeyEvent up(std::uint16_t code) { return {Type::keyUp, code, 0, std::nullopt}; }

class KeyMonitorTest : public ::testing::Test {
 protected:
  void startWith(const TriggerKey& key) {
    monitor = std::make_shared<KeyMonitor>(tap, queue, key);
    monitor->onKeyDown = [this] { reported += " down"; };
    monitor->onKeyUp = [this] { reported += " up"; };
    monitor->onChordKey = [this] { reported += " chord"; };
    ASSERT_EQ(monitor->start(), EventTap::StartResult::started);
  }

  // Each event and what it must do: "pass" on to other applications or be "removed", followed
  // by what it reports once the main queue has run.
  void expectSteps(const std::vector<std::pair<KeyEvent, std::string>>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
      reported.clear();
      const auto disposition = tap.send(steps[i].first);
      EXPECT_EQ(reported, "") << "step " << i << " reported inside the tap callback";
      queue.runUntilIdle();
      reported.insert(0, disposition == EventTap::Disposition::pass ? "pass" : "removed");
      EXPECT_EQ(reported, steps[i].second) << "step " << i;
    }
  }

  FakeMainQueue queue;
  FakeEventTap tap;
  std::shared_ptr<KeyMonitor> monitor;
  std::string reported;
};

// clang-format off
TEST_F(KeyMonitorTest, OrdinaryKeyReportsOnceAcrossRepeatsAndNeverReachesApplications) {
  startWith(kF5);
  // The first repeat and release belong to a press from before the monitor started.
  expectSteps({{repeat(96), "removed"}, {up(96), "removed"}, {down(96), "removed down"},
               {repeat(96), "removed"},
               {down(96), "removed"}, {down(0), "pass"}, {flags(96, kShift), "pass"},
               {up(96), "removed up"}, {up(0), "pass"}});
}

TEST_F(KeyMonitorTest, EitherSideControlIgnoresOtherModifiersAndTheSecondControl) {
  startWith(kEitherControl);
  // Right Control joins and Left Control leaves while Control stays held.
  expectSteps({{flags(59, kControl), "removed down"}, {flags(56, kControl | kShift), "pass"},
               {flags(56, kControl), "pass"}, {flags(62, kControl), "pass"},
               {flags(59, kControl), "pass"}, {flags(62, 0), "removed up"},
               {flags(56, kShift), "pass"}});
}

TEST_F(KeyMonitorTest, SideSpecificTriggerOwnsAllOfItsKeysChanges) {
  startWith(kRightOption);
  // Right Option's bit clear while not pressed, then its release while Left Option holds the bit.
  expectSteps({{flags(58, kOption), "pass"}, {flags(58, 0), "pass"}, {flags(61, 0), "removed"},
               {flags(61, kOption), "removed down"}, {flags(58, kOption), "pass"},
               {flags(61, kOption), "removed up"}});
}

TEST_F(KeyMonitorTest, KeyTypedWhileTheModifierIsHeldIsAChordReportedOncePerHold) {
  startWith(kEitherControl);
  expectSteps({{flags(59, kControl), "removed down"}, {down(8, kControl), "pass chord"},
               {repeat(8), "pass"}, {down(9, kControl), "pass"}, {flags(59, 0), "removed up"},
               {down(8), "pass"}, {flags(59, kControl), "removed down"},
               {down(9, kControl), "pass chord"}});
}
// clang-format on

TEST_F(KeyMonitorTest, NewTriggerKeyOrStopWhileHeldForgetsTheHoldWithoutReporting) {
  startWith(kEitherControl);
  expectSteps({{flags(59, kControl), "removed down"}});
  monitor->setTriggerKey(kF5);
  EXPECT_EQ(tap.watched, kF5);
  expectSteps({{flags(59, 0), "pass"}, {down(96), "removed down"}});
  monitor->stop();
  EXPECT_FALSE(tap.running());
  monitor->start();
  expectSteps({{up(96), "removed"}});

  startWith(kEitherControl);
  expectSteps({{flags(62, kControl), "removed down"}});
  monitor->stop();
  monitor->start();
  expectSteps({{flags(62, 0), "pass"}});
}

TEST_F(KeyMonitorTest, ReportsAfterTheMonitorIsGoneOrWithoutCallbacksDoNothing) {
  startWith(kF5);
  monitor->onKeyUp = nullptr;
  expectSteps({{down(96), "removed down"}, {up(96), "removed"}});
  tap.send(down(96));
  monitor.reset();
  EXPECT_FALSE(tap.running()) << "a destroyed monitor must not stay in the keyboard's path";
  queue.runUntilIdle();
  EXPECT_EQ(reported, "removed");
}

}  // namespace
}  // namespace vellotype
