#pragma once
// Puts Chinese text in the script of the user's chosen language: Traditional for zh-TW, zh-HK
// and zh-MO, Simplified for the other Chinese locales. Transcription services answer in either.
// Any thread; each thread keeps its own converters, which take some 20 ms to build.

#include <string>
#include <string_view>

namespace vellotype {

class ChineseScript {
 public:
  // The text unchanged for a locale that is not Chinese, or when the converter is missing.
  static std::string convert(std::string_view text, std::string_view localeIdentifier);
};

}  // namespace vellotype
