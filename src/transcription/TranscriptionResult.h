#pragma once
// What a transcription service made of a recording: its text, or why there is none in words
// ready to show after "Error: ".

#include <string>
#include <variant>

namespace vellotype {

struct TranscriptionError {
  std::string description;
  bool operator==(const TranscriptionError&) const = default;
};

using TranscriptionResult = std::variant<std::string, TranscriptionError>;

}  // namespace vellotype
