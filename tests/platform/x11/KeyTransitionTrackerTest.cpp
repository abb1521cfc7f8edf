#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/x11/KeyTransitionTracker.h"

namespace vellotype {
namespace {

using Answer = KeyTransitionTracker::Answer;
using Source = KeyTransitionTracker::Source;
using Type = KeyEvent::Type;
using D = EventTap::Disposition;

// X keycodes.
constexpr std::uint8_t kLeftControl = 37, kRightControl = 105, kLeftShift = 50, kA = 38, kC = 54,
                       kF5 = 71, kRightAlt = 108, kLeftSuper = 133, kCapsLock = 66, kPause = 127;
constexpr std::uint64_t kControl = 0x40000, kShift = 0x20000, kOption = 0x80000,
                        kCommand = 0x100000;
constexpr auto kRaw = Source::raw, kGrab = Source::grab;
constexpr bool kPress = true, kRelease = false;

// What the filter must be handed for one X event, and what it answers.
struct Fed {
  Type type;
  std::uint16_t keyCode;
  std::uint64_t flags;
  D reply;
  bool autorepeat = false;
};
Fed flags(std::uint16_t code, std::uint64_t flags, D reply) {
  return {Type::flagsChanged, code, flags, reply};
}
Fed down(std::uint16_t code, std::uint64_t flags, D reply, bool repeat = false) {
  return {Type::keyDown, code, flags, reply, repeat};
}
Fed up(std::uint16_t code, std::uint64_t flags, D reply) {
  return {Type::keyUp, code, flags, reply};
}

struct Step {
  Source source;
  bool press;
  std::uint8_t keycode;
  std::uint32_t time;
  std::optional<Fed> fed;  // nothing: this transition was already shown, or is no transition
  Answer answer = Answer::none;
};

struct Sequence {
  std::string name;
  std::vector<std::uint8_t> grabbed;
  std::vector<Step> steps;
};

class KeyTransitionTrackerTest : public ::testing::TestWithParam<Sequence> {};

TEST_P(KeyTransitionTrackerTest, FeedsEachTransitionOnceAndAnswersTheGrab) {
  std::vector<KeyEvent> seen;
  D reply = D::pass;
  KeyTransitionTracker tracker(GetParam().grabbed, [&](const KeyEvent& e) {
    seen.push_back(e);
    return reply;
  });
  const auto& steps = GetParam().steps;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const auto& step = steps[i];
    seen.clear();
    reply = step.fed ? step.fed->reply : D::pass;
    EXPECT_EQ(tracker.handle(step.source, step.press, step.keycode, step.time), step.answer)
        << "step " << i;
    ASSERT_EQ(seen.size(), step.fed ? 1u : 0u) << "step " << i;
    if (!step.fed) continue;
    EXPECT_EQ(seen[0].type, step.fed->type) << "step " << i;
    EXPECT_EQ(seen[0].keyCode, step.fed->keyCode) << "step " << i;
    EXPECT_EQ(seen[0].modifierFlags, step.fed->flags) << "step " << i;
    EXPECT_EQ(seen[0].autorepeat, step.fed->autorepeat) << "step " << i;
  }
}

// The orders of raw and grabbed events are those an X server was seen to send.
INSTANTIATE_TEST_SUITE_P(
    MeasuredSequences, KeyTransitionTrackerTest,
    ::testing::Values(
        Sequence{"LoneControlIsRemoved",
                 {kLeftControl, kRightControl},
                 {{kRaw, kPress, kLeftControl, 10, flags(0x3B, kControl, D::remove)},
                  {kGrab, kPress, kLeftControl, 10, {}, Answer::syncKeyboard},
                  {kGrab, kRelease, kLeftControl, 20, flags(0x3B, 0, D::remove),
                   Answer::asyncKeyboard}}},
        Sequence{"ControlCReplaysTheC",
                 {kLeftControl, kRightControl},
                 {{kRaw, kPress, kLeftControl, 10, flags(0x3B, kControl, D::remove)},
                  {kGrab, kPress, kLeftControl, 10, {}, Answer::syncKeyboard},
                  {kGrab, kPress, kC, 20, down(0x08, kControl, D::pass), Answer::replayKeyboard},
                  {kRaw, kRelease, kC, 30, up(0x08, kControl, D::pass)},
                  {kRaw, kRelease, kLeftControl, 40, flags(0x3B, 0, D::remove)}}},
        Sequence{"ShiftWhileControlIsHeld",
                 {kLeftControl, kRightControl},
                 {{kRaw, kPress, kLeftControl, 10, flags(0x3B, kControl, D::remove)},
                  {kGrab, kPress, kLeftControl, 10, {}, Answer::syncKeyboard},
                  {kGrab, kPress, kLeftShift, 20, flags(0x38, kControl | kShift, D::pass),
                   Answer::replayKeyboard},
                  {kRaw, kRelease, kLeftShift, 30, flags(0x38, kControl, D::pass)},
                  {kRaw, kRelease, kLeftControl, 40, flags(0x3B, 0, D::remove)}}},
        Sequence{"LeftThenRightControl",
                 {kLeftControl, kRightControl},
                 {{kRaw, kPress, kLeftControl, 10, flags(0x3B, kControl, D::remove)},
                  {kGrab, kPress, kLeftControl, 10, {}, Answer::syncKeyboard},
                  {kGrab, kPress, kRightControl, 20, flags(0x3E, kControl, D::pass),
                   Answer::replayKeyboard},
                  {kRaw, kRelease, kLeftControl, 30, flags(0x3B, kControl, D::pass)},
                  {kRaw, kRelease, kRightControl, 40, flags(0x3E, 0, D::remove)}}},
        Sequence{"F5RepeatsEvenWithinOneMillisecond",
                 {kF5},
                 {{kRaw, kPress, kF5, 10, down(0x60, 0, D::remove)},
                  {kGrab, kPress, kF5, 10, {}, Answer::syncKeyboard},
                  {kGrab, kPress, kF5, 670, down(0x60, 0, D::remove, true), Answer::syncKeyboard},
                  {kGrab, kPress, kF5, 670, down(0x60, 0, D::remove, true), Answer::syncKeyboard},
                  {kGrab, kRelease, kF5, 700, up(0x60, 0, D::remove), Answer::asyncKeyboard}}},
        Sequence{"RawReleaseReportedTwice",
                 {kLeftControl},
                 {{kRaw, kPress, kA, 10, down(0x00, 0, D::pass)},
                  {kRaw, kRelease, kA, 20, up(0x00, 0, D::pass)},
                  {kRaw, kRelease, kA, 20, {}},
                  {kRaw, kPress, kA, 20, down(0x00, 0, D::pass)}}},
        Sequence{
            "BackToBackEventsShareOneMillisecond",
            {kLeftControl},
            {{kRaw, kPress, kLeftControl, 5, flags(0x3B, kControl, D::remove)},
             {kGrab, kPress, kLeftControl, 5, {}, Answer::syncKeyboard},
             {kGrab, kRelease, kLeftControl, 5, flags(0x3B, 0, D::remove), Answer::asyncKeyboard},
             {kRaw, kPress, kLeftControl, 5, flags(0x3B, kControl, D::remove)},
             {kGrab, kPress, kLeftControl, 5, {}, Answer::syncKeyboard}}},
        Sequence{"GrabbedEventBeforeItsRawEvent",
                 {kLeftControl},
                 {{kGrab, kPress, kLeftControl, 10, flags(0x3B, kControl, D::remove),
                   Answer::syncKeyboard},
                  {kRaw, kPress, kLeftControl, 10, {}}}},
        Sequence{"OnlyGrabbedKeysAreRemoved",
                 {kLeftControl},
                 {{kRaw, kPress, kLeftControl, 10, flags(0x3B, kControl, D::remove)},
                  {kGrab, kPress, kLeftControl, 10, {}, Answer::syncKeyboard},
                  {kGrab, kPress, kC, 20, down(0x08, kControl, D::remove), Answer::replayKeyboard},
                  {kGrab, kRelease, kLeftShift, 30, {}, Answer::replayKeyboard}}},  // held before
        Sequence{
            "HeldModifierRepeatsGoTheWayOfTheirPress",
            {kRightAlt},
            {{kRaw, kPress, kRightAlt, 10, flags(0x3D, kOption, D::remove)},
             {kGrab, kPress, kRightAlt, 10, {}, Answer::syncKeyboard},
             {kGrab, kPress, kRightAlt, 700, {}, Answer::syncKeyboard},
             {kGrab, kRelease, kRightAlt, 800, flags(0x3D, 0, D::remove), Answer::asyncKeyboard}}},
        Sequence{"AltGrIsOptionSuperIsCommandCapsLockSetsNoFlag",
                 {},
                 {{kRaw, kPress, kRightAlt, 10, flags(0x3D, kOption, D::pass)},
                  {kRaw, kPress, kLeftSuper, 20, flags(0x37, kOption | kCommand, D::pass)},
                  {kRaw, kPress, kCapsLock, 30, flags(0x39, kOption | kCommand, D::pass)},
                  {kRaw, kPress, kA, 40, down(0x00, kOption | kCommand, D::pass)},
                  {kRaw, kRelease, kRightAlt, 50, flags(0x3D, kCommand, D::pass)},
                  {kRaw, kPress, kPause, 60, down(0x277, kCommand, D::pass)}}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vellotype
