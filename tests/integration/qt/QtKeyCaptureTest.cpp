// The capture's translation of Qt key events, as the xcb platform makes them, into canonical ones.

#include <gtest/gtest.h>

#include "platform/qt/QtKeyCapture.h"

namespace vellotype {
namespace {

using Type = KeyEvent::Type;

// X keycodes.
constexpr quint32 kLeftShift = 50, kRightAlt = 108, kRightControl = 105, kCapsLock = 66, kA = 38,
                  kOne = 10, kF5 = 71;
constexpr std::uint64_t kShift = 0x20000, kControl = 0x40000, kOption = 0x80000;

KeyEvent translate(QtKeyCapture& capture, QEvent::Type type, quint32 keycode, int key = 0,
                   Qt::KeyboardModifiers modifiers = {}, const QString& text = {},
                   bool autorepeat = false) {
  const auto event =
      capture.translate(QKeyEvent(type, key, modifiers, keycode, 0, 0, text, autorepeat));
  EXPECT_TRUE(event) << "keycode " << keycode;
  return event.value_or(KeyEvent{});
}

TEST(QtKeyCapture, ModifierTransitionsCarryTheFlagsInEffectAfterThem) {
  QtKeyCapture capture(Qt::NoModifier);
  // X11 gives a modifier's own press the state from before it: no Shift yet.
  auto shift = translate(capture, QEvent::KeyPress, kLeftShift, Qt::Key_Shift);
  EXPECT_EQ(shift.type, Type::flagsChanged);
  EXPECT_EQ(shift.keyCode, 56);
  EXPECT_EQ(shift.modifierFlags, kShift);
  EXPECT_FALSE(shift.charactersIgnoringModifiers);

  auto alt = translate(capture, QEvent::KeyPress, kRightAlt, Qt::Key_AltGr, Qt::ShiftModifier);
  EXPECT_EQ(alt.keyCode, 61);
  EXPECT_EQ(alt.modifierFlags, kShift | kOption);
  EXPECT_EQ(translate(capture, QEvent::KeyPress, kRightAlt, 0, {}, {}, true).modifierFlags,
            kShift | kOption)
      << "a repeat changes nothing";

  shift = translate(capture, QEvent::KeyRelease, kLeftShift, Qt::Key_Shift,
                    Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_EQ(shift.type, Type::flagsChanged);
  EXPECT_EQ(shift.modifierFlags, kOption);

  const auto caps = translate(capture, QEvent::KeyPress, kCapsLock, Qt::Key_CapsLock);
  EXPECT_EQ(caps.type, Type::flagsChanged);
  EXPECT_EQ(caps.keyCode, 57);
  EXPECT_EQ(caps.modifierFlags, kOption) << "Caps Lock sets no modifier flag";
}

TEST(QtKeyCapture, ModifiersHeldBeforeTheCaptureCountUntilReleased) {
  QtKeyCapture capture(Qt::ControlModifier);
  EXPECT_EQ(translate(capture, QEvent::KeyPress, kF5, Qt::Key_F5).modifierFlags, kControl);
  const auto up = translate(capture, QEvent::KeyRelease, kRightControl, Qt::Key_Control);
  EXPECT_EQ(up.keyCode, 62);
  EXPECT_EQ(up.modifierFlags, 0u);
}

TEST(QtKeyCapture, OrdinaryKeysCarryWhatTheyTypeWithoutModifiers) {
  QtKeyCapture capture(Qt::NoModifier);
  const auto a = translate(capture, QEvent::KeyPress, kA, Qt::Key_A,
                           Qt::ShiftModifier | Qt::ControlModifier, "\x01");
  EXPECT_EQ(a.type, Type::keyDown);
  EXPECT_EQ(a.keyCode, 0);
  EXPECT_EQ(a.charactersIgnoringModifiers, "a");
  EXPECT_EQ(
      translate(capture, QEvent::KeyPress, kOne, Qt::Key_1, {}, "1").charactersIgnoringModifiers,
      "1");
  const auto f5 = translate(capture, QEvent::KeyPress, kF5, Qt::Key_F5);
  EXPECT_EQ(f5.keyCode, 96);
  EXPECT_FALSE(f5.charactersIgnoringModifiers);
  const auto repeat = translate(capture, QEvent::KeyPress, kF5, Qt::Key_F5, {}, {}, true);
  EXPECT_EQ(repeat.type, Type::keyDown);
  EXPECT_TRUE(repeat.autorepeat);
  EXPECT_EQ(translate(capture, QEvent::KeyRelease, kF5, Qt::Key_F5).type, Type::keyUp);
  EXPECT_FALSE(capture.translate(QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}, "a")))
      << "no X keycode";
}

}  // namespace
}  // namespace vellotype
