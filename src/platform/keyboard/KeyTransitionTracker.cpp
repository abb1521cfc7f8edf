#include "platform/keyboard/KeyTransitionTracker.h"

#include "platform/keyboard/KeyCodeTable.h"

namespace vellotype {
namespace {

using Disposition = EventTap::Disposition;

constexpr std::uint8_t kEvdevOffset = 8;

}  // namespace

KeyTransitionTracker::KeyTransitionTracker(const std::vector<std::uint8_t>& grabbedKeycodes,
                                           EventTap::Filter filter, std::bitset<256> heldAtStart)
    : filter_(std::move(filter)), heldAtStart_(heldAtStart) {
  for (const auto keycode : grabbedKeycodes) grabbed_.set(keycode);
}

KeyTransitionTracker::Answer KeyTransitionTracker::handle(Source source, bool press,
                                                          std::uint8_t keycode,
                                                          std::uint32_t time) {
  if (heldAtStart_[keycode]) {
    if (!press) heldAtStart_.reset(keycode);
    return answer(source, press, keycode, Disposition::pass);
  }
  // A press that starts our grab comes as a raw event, then as the grabbed core event with the
  // same time. Times alone cannot tell transitions apart: events sent back to back share a
  // millisecond.
  auto& last = last_[keycode];
  if (last && last->press == press && last->time == time && last->source != source &&
      !last->seenOnBoth) {
    last->seenOnBoth = true;
    return answer(source, press, keycode, last->disposition);
  }
  // A release of a key that is not down is a raw release reported again, or the release of a
  // key held since before the tap started.
  if (!press && !down_[keycode]) return answer(source, press, keycode, Disposition::pass);

  const auto disposition = feed(press, keycode);
  last = Transition{press, time, source, false, disposition};
  return answer(source, press, keycode, disposition);
}

Disposition KeyTransitionTracker::feed(bool press, std::uint8_t keycode) {
  if (keycode < kEvdevOffset) return Disposition::pass;
  const auto macKeyCode = KeyCodeTable::macKeyCode(keycode - kEvdevOffset);
  if (!macKeyCode) return Disposition::pass;
  const bool modifier = KeyCodeTable::isModifier(*macKeyCode);
  const bool repeat = press && down_[keycode];
  // Held modifiers change no flags, and the filter expects no flagsChanged for them: the
  // repeat goes the way its press went.
  if (repeat && modifier) return last_[keycode]->disposition;

  down_[keycode] = press;
  KeyEvent event;
  event.type = modifier ? KeyEvent::Type::flagsChanged
                        : (press ? KeyEvent::Type::keyDown : KeyEvent::Type::keyUp);
  event.keyCode = *macKeyCode;
  event.modifierFlags = heldFlags();
  event.autorepeat = repeat;
  return filter_(event);
}

std::uint64_t KeyTransitionTracker::heldFlags() const {
  // X events carry the modifier state from before the event, and AltGr and Super sit on
  // layout-dependent modifier bits, so the flags come from the keys seen held.
  std::uint64_t flags = 0;
  for (std::size_t keycode = kEvdevOffset; keycode < down_.size(); ++keycode) {
    if (!down_[keycode]) continue;
    if (const auto mac = KeyCodeTable::macKeyCode(keycode - kEvdevOffset)) {
      flags |= KeyCodeTable::modifierFlag(*mac);
    }
  }
  return flags;
}

KeyTransitionTracker::Answer KeyTransitionTracker::answer(Source source, bool press,
                                                          std::uint8_t keycode,
                                                          Disposition disposition) const {
  if (source == Source::raw) return Answer::none;
  // Sync keeps the grab and freezes the keyboard at the next event, so a key typed while the
  // trigger is held can still be replayed to the application with the modifier in its state.
  // The release of the grabbing key ends the grab, and the freeze with it, so it needs no
  // answer; one would only reach the server after the next press had frozen the keyboard
  // again, thaw it, and so cost the next shortcut its key.
  if (disposition == Disposition::remove && grabbed_[keycode]) {
    return press ? Answer::syncKeyboard : Answer::none;
  }
  return Answer::replayKeyboard;
}

}  // namespace vellotype
