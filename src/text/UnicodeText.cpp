#include "text/UnicodeText.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace vellotype::text {
namespace {

bool isWhitespaceOrNewline(UChar32 c) {
  if (c < 0) return false;  // ill-formed sequence
  if (c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85) return true;
  const auto type = u_charType(c);
  return type == U_SPACE_SEPARATOR || type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

icu::UnicodeString fromUTF8(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
}

std::string toUTF8(const icu::UnicodeString& text) {
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace

std::string trimmingWhitespaceAndNewlines(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = int32_t(text.size());

  int32_t start = 0;
  while (start < length) {
    int32_t next = start;
    UChar32 c;
    U8_NEXT(bytes, next, length, c);
    if (!isWhitespaceOrNewline(c)) break;
    start = next;
  }
  int32_t end = length;
  while (end > start) {
    int32_t previous = end;
    UChar32 c;
    U8_PREV(bytes, start, previous, c);
    if (!isWhitespaceOrNewline(c)) break;
    end = previous;
  }
  return std::string(text.substr(std::size_t(start), std::size_t(end - start)));
}

std::string_view leadingCodePoints(std::string_view text, std::size_t count) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = int32_t(std::min<std::size_t>(text.size(), INT32_MAX));
  int32_t end = 0;
  for (std::size_t i = 0; i < count && end < length; ++i) U8_FWD_1(bytes, end, length);
  return text.substr(0, std::size_t(end));
}

bool isValidUTF8(std::string_view bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = int64_t(bytes.size());
  for (int64_t i = 0; i < length;) {
    UChar32 c;
    // ICU's macros index with int32_t: walk long texts in windows.
    const auto window = int32_t(std::min<int64_t>(length - i, INT32_MAX));
    int32_t offset = 0;
    U8_NEXT(data + i, offset, window, c);
    if (c < 0) return false;
    i += offset;
  }
  return true;
}

std::string uppercased(std::string_view text) {
  auto unicode = fromUTF8(text);
  unicode.toUpper(icu::Locale::getRoot());
  return toUTF8(unicode);
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
  if (a == b) return true;
  UErrorCode status = U_ZERO_ERROR;
  const auto* nfc = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status)) return false;
  const auto normalA = nfc->normalize(fromUTF8(a), status);
  const auto normalB = nfc->normalize(fromUTF8(b), status);
  return U_SUCCESS(status) && normalA == normalB;
}

}  // namespace vellotype::text
