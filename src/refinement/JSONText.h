#pragma once
// Reads one string out of a JSON document given as bytes in any of the encodings JSON allows
// (UTF-8, UTF-16 or UTF-32, told apart by their zero bytes), without building the document, so
// that a reply of any shape costs little more memory than its bytes. Pure, any thread.

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vellotype {

// A chat completion's text sits four containers deep and its richest part (the log
// probabilities) eight; a transcription's text one. 64 leaves room for whatever a service adds,
// and a document nested deeper is broken or hostile: it is not read on.
inline constexpr std::size_t kMaxJSONDepth = 64;

// One step into a document: an object's member by name, or an array's element by position.
using JSONStep = std::variant<std::string_view, std::size_t>;

// The string that `path` leads to, as in the whole document parsed (of members named twice, the
// last counts). An array on the way counts only when all its elements are of the kind the path
// takes there. Nothing when the bytes are no JSON document, nest deeper than kMaxJSONDepth, or
// hold no string there.
std::optional<std::string> readJSONString(std::string_view bytes,
                                          std::initializer_list<JSONStep> path);

}  // namespace vellotype
