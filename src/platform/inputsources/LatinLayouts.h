#pragma once
// Tells which XKB keyboard layouts type Latin letters, judged by compiling them from the system's
// keyboard data. Main thread only; owned by the input-source chooser.

#include <map>
#include <optional>
#include <string>

struct xkb_context;

namespace vellotype {

struct KeyboardLayout {
  std::string layout;   // "us", "de", "ru", …
  std::string variant;  // "", "dvorak", "nodeadkeys", …
  bool operator==(const KeyboardLayout&) const = default;
};

class LatinLayouts {
 public:
  LatinLayouts();
  ~LatinLayouts();
  LatinLayouts(const LatinLayouts&) = delete;
  LatinLayouts& operator=(const LatinLayouts&) = delete;

  // True when the layout's unshifted keys type every letter a–z: Latin layouts do (QWERTZ, AZERTY
  // and Dvorak only move them), Cyrillic, Greek, Arabic, Hebrew, Indic and Thai ones do not, nor
  // does a layout the keyboard data does not know. Nothing is not a layout.
  bool typesLatinLetters(const std::optional<KeyboardLayout>& layout);

 private:
  bool compileAndCheck(const KeyboardLayout& layout) const;

  xkb_context* context_ = nullptr;
  std::map<std::pair<std::string, std::string>, bool> known_;
};

}  // namespace vellotype
