#pragma once
// Unicode operations on UTF-8 text that plain byte strings get wrong. Pure functions, any thread.
// Ill-formed UTF-8 is read as U+FFFD where a conversion is needed and is never white space.

#include <string>
#include <string_view>

namespace vellotype::text {

// Removes white space and line breaks from both ends: the space, line and paragraph separators
// (Zs, Zl, Zp), tab, U+000A…U+000D and U+0085. Inner characters are untouched.
std::string trimmingWhitespaceAndNewlines(std::string_view text);

// The full, language-neutral upper-case mapping ("ß" becomes "SS").
std::string uppercased(std::string_view text);

// The first `count` code points, never cutting one in two; ill-formed bytes count as one each.
std::string_view leadingCodePoints(std::string_view text, std::size_t count);

// True when the bytes are well-formed UTF-8.
bool isValidUTF8(std::string_view bytes);

// True when both texts are the same under Unicode canonical equivalence ("é" as one code point
// or as "e" plus a combining acute accent).
bool canonicallyEqual(std::string_view a, std::string_view b);

}  // namespace vellotype::text
