#include "platform/inputsources/none/NoInputSources.h"

namespace vellotype {

// Without an input method nothing sits between the keys and the application, which is all that
// "ASCII-capable" has to promise for a paste chord.
std::optional<InputSource> NoInputSources::current() {
  return InputSource{.identifier = "keyboard-layout", .isASCIICapable = true};
}

std::optional<std::vector<InputSource>> NoInputSources::enabledASCIICapableSources() {
  return std::vector<InputSource>{};
}

void NoInputSources::select(const InputSource&) {}

}  // namespace vellotype
