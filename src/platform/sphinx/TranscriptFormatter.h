#pragma once
// Gives PocketSphinx's lower-case, unpunctuated hypotheses the capitals and full stop a typed
// sentence has, when the request asks for punctuation. Pure; any thread. A value owned by the
// recogniser's worker.

#include <string>
#include <string_view>

namespace vellotype {

class TranscriptFormatter {
 public:
  explicit TranscriptFormatter(std::string_view localeIdentifier);

  // Partial results get the capitals only: a full stop would jump along as words arrive.
  std::string format(std::string_view hypothesis, bool addsPunctuation, bool isFinal) const;

 private:
  bool english_;
};

}  // namespace vellotype
