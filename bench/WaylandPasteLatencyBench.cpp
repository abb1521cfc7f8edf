// How long the paste keystroke takes on a wlroots compositor, from postKeyChord to the text in a
// native Wayland application.
//
// Method: a private headless sway (the integration tests' HeadlessSway) with the user's keyboard
// on its seat; the focused window is the test editor on Qt's Wayland platform, which prints its
// whole text each time it changes. "Text in the editor" is the moment this program reads that
// report from the editor's pipe, on the same steady clock as the call. Each paste follows a key
// of the user's own keyboard (the trigger's release, Left Control), so that the compositor hands
// the editor the virtual keyboard's keymap again every time, as it does in use; the clipboard is
// set with wl-copy beforehand, outside the timing, and the editor reads it from wl-copy's process.
// A plain letter typed back to back shows the keystroke's share without the clipboard.
//
// Headless sway draws with pixman and has no display to wait for: the figures show the
// compositor's and the clients' share, not a monitor's refresh.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "HeadlessSway.h"
#include "platform/keyboard/wayland/VirtualKeyboardEvents.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr int kRuns = 50;
constexpr std::uint16_t kV = 9, kX = 7, kLeftControl = 0x3B;
using modifiers::kControl;

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size()) + 0.999);
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void report(const char* what, const std::vector<double>& milliseconds) {
  std::printf("  %-44s median %7.2f ms   p95 %7.2f ms   max %7.2f ms   (n=%zu)\n", what,
              percentile(milliseconds, 0.5), percentile(milliseconds, 0.95),
              *std::max_element(milliseconds.begin(), milliseconds.end()), milliseconds.size());
}

int run() {
  testing::HeadlessSway sway;
  if (sway.display().empty()) {
    std::fprintf(stderr, "no sway: %s\n", sway.error().c_str());
    return 1;
  }
  const auto editor = sway.startEditor(VELLOTYPE_TEST_EDITOR);
  std::string error;
  auto before = Clock::now();
  const auto events = VirtualKeyboardEvents::create(sway.display(), error);
  const double creation = Milliseconds(Clock::now() - before).count();
  if (!editor || !events) {
    std::fprintf(stderr, "no editor or keyboard: %s %s\n", error.c_str(), sway.log().c_str());
    return 1;
  }

  std::vector<double> pastes, letters, calls;
  std::string text;
  // Times one chord until the editor shows `expected`; false when it never does.
  const auto timed = [&](std::uint16_t key, std::uint64_t flags, std::vector<double>& into) {
    const auto expected = testing::ClientOutput::hex(text);
    const auto start = Clock::now();
    events->postKeyChord(key, flags);
    calls.push_back(Milliseconds(Clock::now() - start).count());
    if (!editor->waitFor([&](const std::string& line) { return line == expected; })) return false;
    into.push_back(Milliseconds(Clock::now() - start).count());
    return true;
  };
  for (int i = 0; i < kRuns; ++i) {
    const auto pasted = "paste " + std::to_string(i) + " 你好 🎉\n";
    sway.copy(pasted);
    sway.keyboard().postKeyChord(kLeftControl, 0);
    text += pasted;
    if (!timed(kV, kControl, pastes)) break;
    text += 'x';
    if (!timed(kX, 0, letters)) break;
  }
  if (pastes.size() < std::size_t(kRuns) || letters.size() < std::size_t(kRuns)) {
    std::fprintf(stderr, "the editor showed %s\n%s", editor->last().c_str(), sway.log().c_str());
    return 1;
  }
  std::printf("Paste keystroke on headless sway into a Qt Wayland editor, %d runs:\n", kRuns);
  report("Control+V after the user's key -> text", pastes);
  report("a letter, back to back -> text", letters);
  std::printf("Time on the calling thread:\n");
  report("postKeyChord (till the compositor answers)", calls);
  std::printf("  %-44s %7.2f ms\n", "create (connect, keyboard, keymap)", creation);
  return 0;
}

}  // namespace
}  // namespace vellotype

int main() { return vellotype::run(); }
