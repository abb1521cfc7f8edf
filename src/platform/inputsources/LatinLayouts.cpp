#include "platform/inputsources/LatinLayouts.h"

#include <xkbcommon/xkbcommon.h>

#include <bitset>

namespace vellotype {

LatinLayouts::LatinLayouts() {
  // The layout named is the one judged, whatever XKB_DEFAULT_* the environment sets.
  context_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  // A layout the keyboard data does not know is an answer here, not an error to print.
  if (context_) xkb_context_set_log_level(context_, XKB_LOG_LEVEL_CRITICAL);
}

LatinLayouts::~LatinLayouts() { xkb_context_unref(context_); }

bool LatinLayouts::typesLatinLetters(const std::optional<KeyboardLayout>& layout) {
  if (!layout || layout->layout.empty()) return false;
  const auto key = std::make_pair(layout->layout, layout->variant);
  if (const auto found = known_.find(key); found != known_.end()) return found->second;
  const bool latin = compileAndCheck(*layout);
  known_.emplace(key, latin);
  return latin;
}

bool LatinLayouts::compileAndCheck(const KeyboardLayout& layout) const {
  if (!context_) return false;
  const xkb_rule_names names{.rules = nullptr,
                             .model = nullptr,
                             .layout = layout.layout.c_str(),
                             .variant = layout.variant.c_str(),
                             .options = ""};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap) return false;

  std::bitset<26> letters;
  const auto last = xkb_keymap_max_keycode(keymap);
  for (auto key = xkb_keymap_min_keycode(keymap); key <= last; ++key) {
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, key, 0, 0, &symbols);
    for (int i = 0; i < count; ++i) {
      if (symbols[i] >= XKB_KEY_a && symbols[i] <= XKB_KEY_z) letters.set(symbols[i] - XKB_KEY_a);
    }
  }
  xkb_keymap_unref(keymap);
  return letters.all();
}

}  // namespace vellotype
