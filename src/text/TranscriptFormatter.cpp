#include "text/TranscriptFormatter.h"

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

bool isLanguage(std::string_view locale, std::string_view language) {
  return locale.starts_with(language) &&
         (locale.size() == language.size() || locale[language.size()] == '-' ||
          locale[language.size()] == '_');
}

// Looks past closing quotes and brackets, as in 'He said "stop."'.
bool endsSentence(std::string_view text) {
  static constexpr std::string_view kClosers[] = {"\"",     "'",      ")",      "\u201d",
                                                  "\u2019", "\u300d", "\u300f", "\uff09"};
  static constexpr std::string_view kEnders[] = {".",      "!",      "?",      "\u2026",
                                                 "\u3002", "\uff01", "\uff1f", "\uff0e"};
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (const auto closer : kClosers) {
      if (text.size() > closer.size() && text.ends_with(closer)) {
        text.remove_suffix(closer.size());
        stripped = true;
      }
    }
  }
  for (const auto ender : kEnders) {
    if (text.ends_with(ender)) return true;
  }
  return false;
}

}  // namespace

TranscriptFormatter::TranscriptFormatter(std::string_view localeIdentifier)
    : english_(isLanguage(localeIdentifier, "en")),
      ideographicFullStop_(isLanguage(localeIdentifier, "zh") ||
                           isLanguage(localeIdentifier, "ja")) {}

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
  if (isFinal && !endsSentence(text)) text += ideographicFullStop_ ? "\u3002" : ".";
  return text;
}

}  // namespace vellotype
