#pragma once
// The keyboard layouts and input methods the user can type with. Main thread only; owned by
// the composition root.

#include <optional>
#include <string>
#include <vector>

namespace vellotype {

struct InputSource {
  std::string identifier;  // "xkb:us::eng", "keyboard-us", "pinyin", …
  // A keyboard layout that types Latin letters; an input method is not, whatever its layout.
  bool isASCIICapable = false;
  bool operator==(const InputSource&) const = default;
};

class InputSources {
 public:
  virtual ~InputSources() = default;

  virtual std::optional<InputSource> current() = 0;
  // The enabled ASCII-capable sources in the user's order; nothing when they cannot be listed.
  virtual std::optional<std::vector<InputSource>> enabledASCIICapableSources() = 0;
  virtual void select(const InputSource& source) = 0;
};

}  // namespace vellotype
