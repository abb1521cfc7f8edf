#pragma once
// Gives a recogniser's text the capitals and closing full stop a typed sentence has, when the
// request asks for punctuation: PocketSphinx's lower-case hypotheses and a service's replies go
// through the same rules. Pure; any thread. A value owned by whoever formats results.

#include <string>
#include <string_view>

namespace vellotype {

class TranscriptFormatter {
 public:
  explicit TranscriptFormatter(std::string_view localeIdentifier);

  // Partial results get the capitals only: a full stop would jump along as words arrive. A
  // final result that already ends a sentence gets no second one.
  std::string format(std::string_view hypothesis, bool addsPunctuation, bool isFinal) const;

 private:
  bool english_;
  bool ideographicFullStop_;  // Chinese and Japanese end a sentence with "。"
};

}  // namespace vellotype
