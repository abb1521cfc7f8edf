#include "transcription/ChineseScript.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <memory>

namespace vellotype {
namespace {

bool isTraditional(std::string_view locale) {
  for (const auto region : {"zh-TW", "zh-HK", "zh-MO", "zh-Hant", "zh_TW", "zh_HK", "zh_MO"}) {
    if (locale.starts_with(region)) return true;
  }
  return false;
}

icu::Transliterator* converter(bool toTraditional) {
  thread_local std::unique_ptr<icu::Transliterator> converters[2];
  auto& slot = converters[toTraditional ? 1 : 0];
  if (!slot) {
    UErrorCode status = U_ZERO_ERROR;
    slot.reset(icu::Transliterator::createInstance(toTraditional ? "Hans-Hant" : "Hant-Hans",
                                                   UTRANS_FORWARD, status));
    if (U_FAILURE(status)) slot.reset();
  }
  return slot.get();
}

}  // namespace

std::string ChineseScript::convert(std::string_view text, std::string_view locale) {
  const bool chinese = locale == "zh" || locale.starts_with("zh-") || locale.starts_with("zh_");
  if (!chinese) return std::string(text);
  auto* transliterator = converter(isTraditional(locale));
  if (!transliterator) return std::string(text);
  auto unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int(text.size())));
  transliterator->transliterate(unicode);
  std::string converted;
  unicode.toUTF8String(converted);
  return converted;
}

}  // namespace vellotype
