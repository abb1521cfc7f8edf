#include "refinement/JSONText.h"

#include <unicode/ucnv.h>

#include <string>

namespace vellotype {
namespace {

// A JSON text starts with two ASCII characters, so the pattern of zero bytes in the first four
// bytes names the encoding.
const char* encodingOf(std::string_view bytes) {
  if (bytes.size() < 4) return nullptr;
  const bool z0 = bytes[0] == 0, z1 = bytes[1] == 0, z2 = bytes[2] == 0, z3 = bytes[3] == 0;
  if (z0 && z1 && z2 && !z3) return "UTF-32BE";
  if (!z0 && z1 && z2 && z3) return "UTF-32LE";
  if (z0 && !z1 && z2 && !z3) return "UTF-16BE";
  if (!z0 && z1 && !z2 && z3) return "UTF-16LE";
  return nullptr;
}

}  // namespace

nlohmann::json parseJSONText(std::string_view bytes) {
  std::string utf8;
  if (const char* encoding = encodingOf(bytes)) {
    UErrorCode status = U_ZERO_ERROR;
    utf8.resize(bytes.size() * 2 + 4);
    const auto length = ucnv_convert("UTF-8", encoding, utf8.data(), int32_t(utf8.size()),
                                     bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status)) return nlohmann::json(nlohmann::json::value_t::discarded);
    utf8.resize(std::size_t(length));
    bytes = utf8;
  }
  return nlohmann::json::parse(bytes, nullptr, /*allow_exceptions=*/false);
}

}  // namespace vellotype
