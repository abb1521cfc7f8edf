// The user's keyboard on the seat of a Wayland compositor ($WAYLAND_DISPLAY), for scripts that
// run a whole session: a desktop has its keyboard before any application starts, and on a seat
// with none the first keys of the first one to come reach nobody. Prints "ready" once the
// keyboard is on the seat and keeps it there until stopped.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/keyboard/wayland/VirtualKeyboardEvents.h"

int main() {
  std::string error;
  const auto keyboard = vellotype::VirtualKeyboardEvents::create("", error);
  if (!keyboard) {
    std::fprintf(stderr, "no keyboard on the seat: %s\n", error.c_str());
    return 1;
  }
  std::puts("ready");
  std::fflush(stdout);
  for (;;) pause();
}
