#pragma once
// Short named feedback sounds ("Tink", "Pop"). Main thread only; owned by the composition root.

#include <string_view>

namespace vellotype {

class Sounds {
 public:
  virtual ~Sounds() = default;

  // Starts the sound and returns at once. A name without a sound plays nothing.
  virtual void play(std::string_view name) = 0;
};

}  // namespace vellotype
