// The capture's translation of Qt key events, as the xcb platform makes them, into canonical ones.

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/qt/QtKeyCapture.h"

namespace vellotype {
namespace {

TEST(QtKeyCapture, TracksTheModifiersFromTheirTransitions) {
  // X11 gives a modifier's own transition the state from before it; Control was down before the
  // capture began, its side unknown.
  QtKeyCapture capture(Qt::ControlModifier);
  const auto down = QEvent::KeyPress, up = QEvent::KeyRelease;
  const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, ctrl = Qt::ControlModifier;
  struct Step {
    QEvent::Type type;
    quint32 xKeycode;
    int qtKey;
    Qt::KeyboardModifiers state;
    const char* text;
    bool autorepeat;
    const char* expected;  // type, canonical key code, flags, characters ignoring modifiers
  };
  const Step steps[] = {
      {down, 50, Qt::Key_Shift, ctrl, "", false, "flags 38 60000"},
      {down, 108, Qt::Key_AltGr, ctrl | shift, "", false, "flags 3D E0000"},
      {down, 108, Qt::Key_AltGr, ctrl | shift, "", true, "flags 3D E0000"},
      {up, 50, Qt::Key_Shift, ctrl | shift, "", false, "flags 38 C0000"},
      {down, 66, Qt::Key_CapsLock, ctrl, "", false, "flags 39 C0000"},
      {down, 38, Qt::Key_A, ctrl | shift, "\x01", false, "down 0 C0000 a"},
      {down, 10, Qt::Key_1, none, "1", true, "repeat 12 C0000 1"},
      {up, 105, Qt::Key_Control, ctrl, "", false, "flags 3E 80000"},
      {down, 71, Qt::Key_F5, none, "", false, "down 60 80000"},
      {up, 71, Qt::Key_F5, none, "", false, "up 60 80000"},
  };
  for (const auto& s : steps) {
    const auto e = capture.translate(
        QKeyEvent(s.type, s.qtKey, s.state, s.xKeycode, 0, 0, s.text, s.autorepeat));
    ASSERT_TRUE(e) << s.expected;
    char text[64];
    std::snprintf(text, sizeof text, "%s %X %llX%s%s",
                  e->type == KeyEvent::Type::flagsChanged ? "flags"
                  : e->type == KeyEvent::Type::keyUp      ? "up"
                  : e->autorepeat                         ? "repeat"
                                                          : "down",
                  e->keyCode, static_cast<unsigned long long>(e->modifierFlags),
                  e->charactersIgnoringModifiers ? " " : "",
                  e->charactersIgnoringModifiers.value_or("").c_str());
    EXPECT_STREQ(text, s.expected);
  }
  EXPECT_FALSE(capture.translate(QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}, "a")))
      << "no X keycode";
}

}  // namespace
}  // namespace vellotype
