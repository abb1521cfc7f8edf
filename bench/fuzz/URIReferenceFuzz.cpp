// The URL check on arbitrary text: it never crashes, and nothing it accepts holds a character
// that could end a request line or a header early.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/URIReference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!vellotype::text::isValidURIReference(text)) return 0;
  for (const unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7f) __builtin_trap();
  }
  return 0;
}
