#pragma once
// Reads a JSON document from bytes in any of the encodings JSON allows (UTF-8, UTF-16 or
// UTF-32, told apart by their zero bytes). Pure, any thread.

#include <nlohmann/json.hpp>
#include <string_view>

namespace vellotype {

// A discarded value when the bytes are not a JSON document.
nlohmann::json parseJSONText(std::string_view bytes);

}  // namespace vellotype
