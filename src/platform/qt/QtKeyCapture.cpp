#include "platform/qt/QtKeyCapture.h"

#include <array>
#include <utility>

#include "platform/keyboard/KeyCodeTable.h"
#include "values/TriggerKey.h"

namespace vellotype {
namespace {

using Modifier = TriggerKey::Modifier;

constexpr std::uint32_t kEvdevOffset = 8;

std::uint64_t flagsOf(Qt::KeyboardModifiers modifiers) {
  // Super is Qt's Meta on X11 and sits where a Mac keyboard has Command; AltGr is the right Alt.
  constexpr std::array<std::pair<Qt::KeyboardModifier, Modifier>, 5> kFlags = {{
      {Qt::ShiftModifier, Modifier::shift},
      {Qt::ControlModifier, Modifier::control},
      {Qt::AltModifier, Modifier::option},
      {Qt::GroupSwitchModifier, Modifier::option},
      {Qt::MetaModifier, Modifier::command},
  }};
  std::uint64_t flags = 0;
  for (const auto& [qt, modifier] : kFlags) {
    if (modifiers.testFlag(qt)) flags |= flagMask(modifier);
  }
  return flags;
}

}  // namespace

QtKeyCapture::QtKeyCapture(Qt::KeyboardModifiers held) : seededFlags_(flagsOf(held)) {}

std::uint64_t QtKeyCapture::modifierFlags() const {
  std::uint64_t flags = seededFlags_;
  for (const auto key : heldModifierKeys_) flags |= KeyCodeTable::modifierFlag(key);
  return flags;
}

std::optional<KeyEvent> QtKeyCapture::translate(const QKeyEvent& event) {
  const bool press = event.type() == QEvent::KeyPress;
  if (!press && event.type() != QEvent::KeyRelease) return std::nullopt;
  const auto keycode = event.nativeScanCode();
  if (keycode <= kEvdevOffset || keycode - kEvdevOffset > KeyCodeTable::kMaxEvdev) {
    return std::nullopt;
  }
  const auto code = KeyCodeTable::macKeyCode(std::uint16_t(keycode - kEvdevOffset));
  if (!code) return std::nullopt;

  KeyEvent translated;
  translated.keyCode = *code;
  translated.autorepeat = event.isAutoRepeat();
  if (KeyCodeTable::isModifier(*code)) {
    // X11 reports a modifier's own transition with the state from before it, so the flags come
    // from the transitions seen. A repeat is no transition.
    if (!event.isAutoRepeat()) {
      if (press) {
        heldModifierKeys_.insert(*code);
      } else {
        heldModifierKeys_.erase(*code);
        seededFlags_ &= ~KeyCodeTable::modifierFlag(*code);
      }
    }
    translated.type = KeyEvent::Type::flagsChanged;
  } else {
    translated.type = press ? KeyEvent::Type::keyDown : KeyEvent::Type::keyUp;
    translated.charactersIgnoringModifiers = charactersIgnoringModifiers(event);
  }
  translated.modifierFlags = modifierFlags();
  return translated;
}

std::optional<std::string> QtKeyCapture::charactersIgnoringModifiers(const QKeyEvent& event) {
  // Qt names a Latin letter key by its letter whatever the modifiers; its text is a control
  // character under Control.
  const int key = event.key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return std::string(1, char('a' + (key - Qt::Key_A)));
  const QString text = event.text();
  if (text.isEmpty()) return std::nullopt;
  for (const QChar c : text) {
    if (!c.isPrint() && !c.isSurrogate()) return std::nullopt;
  }
  return text.toLower().toStdString();
}

}  // namespace vellotype
