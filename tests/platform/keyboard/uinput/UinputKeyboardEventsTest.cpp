#include <gmock/gmock.h>
#include <linux/input.h>
#include <unistd.h>

#include "platform/keyboard/uinput/UinputKeyboardEvents.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;

// The key events written for one chord, as "code value", reports left out.
std::vector<std::string> chord(std::uint16_t keyCode, std::uint64_t flags,
                               UinputKeyboardEvents::KeyResolver resolver = {}) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  UinputKeyboardEvents keyboard(fds[1], std::move(resolver));
  keyboard.postKeyChord(keyCode, flags);
  ::close(fds[1]);
  std::vector<std::string> keys;
  input_event event{};
  std::size_t reports = 0;
  while (::read(fds[0], &event, sizeof event) == sizeof event) {
    if (event.type == EV_KEY)
      keys.push_back(std::to_string(event.code) + " " + std::to_string(event.value));
    if (event.type == EV_SYN) ++reports;
  }
  ::close(fds[0]);
  EXPECT_EQ(reports, keys.size()) << "each change is reported on its own";
  return keys;
}

TEST(UinputKeyboardEvents, TheModifiersEncloseTheKeyAndNothingStaysDown) {
  // V is canonical 9, evdev 47; Control 29, Shift 42.
  EXPECT_THAT(chord(9, modifiers::kControl), ElementsAre("29 1", "47 1", "47 0", "29 0"));
  EXPECT_THAT(chord(9, modifiers::kControl | modifiers::kShift),
              ElementsAre("29 1", "42 1", "47 1", "47 0", "42 0", "29 0"));
  // Where "v" sits elsewhere (Dvorak: the key at US "."), that key is pressed.
  EXPECT_THAT(chord(9, modifiers::kControl, [](std::uint16_t) { return std::uint16_t(52); }),
              ElementsAre("29 1", "52 1", "52 0", "29 0"));
}

TEST(UinputKeyboardEvents, WithoutAccessItSaysWhyAndSendsNothing) {
  UinputKeyboardEvents keyboard("/nonexistent/uinput");
  EXPECT_FALSE(keyboard.isAvailable());
  EXPECT_THAT(keyboard.problem(), ::testing::HasSubstr("/nonexistent/uinput"));
  keyboard.postKeyChord(9, modifiers::kControl);
}

}  // namespace
}  // namespace vellotype
