#pragma once
// Whether a text is a well-formed URI reference (an absolute URL, or a relative one such as
// "/chat/completions"): the characters and the structure a URL parser accepts. Pure, any thread.

#include <string_view>

namespace vellotype::text {

bool isValidURIReference(std::string_view text);

}  // namespace vellotype::text
