#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/keyboard/KeyTransitionTracker.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using Answer = KeyTransitionTracker::Answer;
using D = EventTap::Disposition;
constexpr auto kRaw = KeyTransitionTracker::Source::raw, kGrab = KeyTransitionTracker::Source::grab;
constexpr bool kPress = true, kRelease = false;
// X keycodes.
constexpr std::uint8_t kLeftControl = 37, kRightControl = 105, kLeftShift = 50, kA = 38, kC = 54,
                       kRightAlt = 108, kLeftSuper = 133, kCapsLock = 66, kPause = 127;
using modifiers::kCommand;
using modifiers::kControl;
using modifiers::kOption;

// The event the filter must be handed, and what it answers.
struct Fed {
  KeyEvent::Type type;
  std::uint16_t keyCode;
  std::uint64_t flags;
  D reply = D::pass;
  bool operator==(const Fed&) const = default;
};
constexpr auto kFlags = KeyEvent::Type::flagsChanged, kDown = KeyEvent::Type::keyDown;

struct Step {
  KeyTransitionTracker::Source source;
  bool press;
  std::uint8_t keycode;
  std::uint32_t time;
  std::optional<Fed> fed;  // nothing: already shown, or no transition
  Answer answer = Answer::none;
};

// The orders of raw and grabbed events below are those an X server was seen to send.
void expectSequence(const std::vector<std::uint8_t>& grabbed, const std::vector<Step>& steps) {
  std::optional<Fed> fed;
  D reply = D::pass;
  KeyTransitionTracker tracker(grabbed, [&](const KeyEvent& e) {
    EXPECT_FALSE(fed) << "fed twice";
    fed = Fed{e.type, e.keyCode, e.modifierFlags, reply};
    return reply;
  });
  int i = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(::testing::Message() << "step " << i++);
    fed.reset();
    reply = step.fed ? step.fed->reply : D::pass;
    EXPECT_EQ(tracker.handle(step.source, step.press, step.keycode, step.time), step.answer);
    EXPECT_EQ(fed, step.fed);
  }
}

// An X event carries the state from before it, so flags come from the keys seen held.
TEST(KeyTransitionTracker, FlagsComeFromHeldKeysAltGrIsOptionSuperIsCommandCapsLockIsNothing) {
  expectSequence({}, {{kRaw, kPress, kRightAlt, 10, Fed{kFlags, 0x3D, kOption}},
                      {kRaw, kPress, kLeftSuper, 20, Fed{kFlags, 0x37, kOption | kCommand}},
                      {kRaw, kPress, kCapsLock, 30, Fed{kFlags, 0x39, kOption | kCommand}},
                      {kRaw, kPress, kA, 40, Fed{kDown, 0x00, kOption | kCommand}},
                      {kRaw, kRelease, kRightAlt, 50, Fed{kFlags, 0x3D, kCommand}},
                      {kRaw, kPress, kPause, 60, Fed{kDown, 0x277, kCommand}}});
}

TEST(KeyTransitionTracker, ReleasingOneControlWhileTheOtherIsHeldKeepsControl) {
  expectSequence(
      {kLeftControl, kRightControl},
      {{kRaw, kPress, kLeftControl, 10, Fed{kFlags, 0x3B, kControl, D::remove}},
       {kGrab, kPress, kLeftControl, 10, {}, Answer::syncKeyboard},
       {kGrab, kPress, kRightControl, 20, Fed{kFlags, 0x3E, kControl}, Answer::replayKeyboard},
       {kRaw, kRelease, kLeftControl, 30, Fed{kFlags, 0x3B, kControl}},
       {kRaw, kRelease, kRightControl, 40, Fed{kFlags, 0x3E, 0, D::remove}}});
}

TEST(KeyTransitionTracker, ARawReleaseReportedTwiceIsFedOnce) {
  expectSequence({}, {{kRaw, kPress, kA, 10, Fed{kDown, 0x00, 0}},
                      {kRaw, kRelease, kA, 20, Fed{KeyEvent::Type::keyUp, 0x00, 0}},
                      {kRaw, kRelease, kA, 20, {}},
                      {kRaw, kPress, kA, 20, Fed{kDown, 0x00, 0}}});
}

TEST(KeyTransitionTracker, BackToBackTransitionsSharingOneMillisecondAreAllFed) {
  expectSequence({kLeftControl},
                 {{kRaw, kPress, kLeftControl, 5, Fed{kFlags, 0x3B, kControl, D::remove}},
                  {kGrab, kPress, kLeftControl, 5, {}, Answer::syncKeyboard},
                  {kGrab, kRelease, kLeftControl, 5, Fed{kFlags, 0x3B, 0, D::remove}},
                  {kRaw, kPress, kLeftControl, 5, Fed{kFlags, 0x3B, kControl, D::remove}},
                  {kGrab, kPress, kLeftControl, 5, {}, Answer::syncKeyboard}});
}

TEST(KeyTransitionTracker, GrabbedEventMayComeFirstAndOnlyGrabbedKeysAreHeldBack) {
  expectSequence(
      {kLeftControl},
      {{kGrab, kPress, kLeftControl, 10, Fed{kFlags, 0x3B, kControl, D::remove},
        Answer::syncKeyboard},
       {kRaw, kPress, kLeftControl, 10, {}},
       {kGrab, kPress, kC, 20, Fed{kDown, 0x08, kControl, D::remove}, Answer::replayKeyboard},
       {kGrab, kRelease, kLeftShift, 30, {}, Answer::replayKeyboard}});  // held before
}

// A held modifier changes no flags: its repeats are not fed and go the way of its press.
TEST(KeyTransitionTracker, HeldModifierRepeatsStayFrozenLikeTheirPress) {
  expectSequence({kRightAlt}, {{kRaw, kPress, kRightAlt, 10, Fed{kFlags, 0x3D, kOption, D::remove}},
                               {kGrab, kPress, kRightAlt, 10, {}, Answer::syncKeyboard},
                               {kGrab, kPress, kRightAlt, 700, {}, Answer::syncKeyboard},
                               {kGrab, kRelease, kRightAlt, 800, Fed{kFlags, 0x3D, 0, D::remove}}});
}

}  // namespace
}  // namespace vellotype
