#pragma once
// The input sources when no input method framework runs: the keyboard layout alone, never switched.
// Main thread only; owned by the input-source chooser.

#include "platform/InputSources.h"

namespace vellotype {

class NoInputSources : public InputSources {
 public:
  std::optional<InputSource> current() override;
  std::optional<std::vector<InputSource>> enabledASCIICapableSources() override;
  void select(const InputSource& source) override;
};

}  // namespace vellotype
