#include "platform/sphinx/TranscriptFormatter.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace vellotype {

namespace {

// The English pronoun, alone or as in "i'm" and "i'll", which the dictionaries spell lower-case.
bool isPronounI(std::string_view text, std::size_t at) {
  if (text[at] != 'i') return false;
  const bool startsWord = at == 0 || text[at - 1] == ' ';
  const bool endsWord = at + 1 == text.size() || text[at + 1] == ' ' || text[at + 1] == '\'';
  return startsWord && endsWord;
}

std::string titleCasedFirstLetter(std::string_view text) {
  std::int32_t end = 0;
  UChar32 first = 0;
  const auto length = static_cast<std::int32_t>(text.size());
  U8_NEXT(text.data(), end, length, first);
  if (first < 0) return std::string(text);
  char encoded[U8_MAX_LENGTH];
  std::int32_t encodedLength = 0;
  UBool failed = false;
  U8_APPEND(encoded, encodedLength, U8_MAX_LENGTH, u_totitle(first), failed);
  if (failed) return std::string(text);
  return std::string(encoded, static_cast<std::size_t>(encodedLength)) +
         std::string(text.substr(static_cast<std::size_t>(end)));
}

}  // namespace

TranscriptFormatter::TranscriptFormatter(std::string_view localeIdentifier)
    : english_(localeIdentifier == "en" || localeIdentifier.starts_with("en-") ||
               localeIdentifier.starts_with("en_")) {}

std::string TranscriptFormatter::format(std::string_view hypothesis, bool addsPunctuation,
                                        bool isFinal) const {
  if (!addsPunctuation || hypothesis.empty()) return std::string(hypothesis);
  std::string text(hypothesis);
  if (english_) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (isPronounI(text, i)) text[i] = 'I';
    }
  }
  text = titleCasedFirstLetter(text);
  if (isFinal) text += '.';
  return text;
}

}  // namespace vellotype
