#pragma once
// Test data for the clipboard tests, and a failure message that names each format and its size
// instead of dumping megabytes.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

#include "platform/Pasteboard.h"

namespace vellotype {

inline void PrintTo(const PasteboardContents& contents, std::ostream* out) {
  *out << "{";
  for (const auto& [format, bytes] : contents.items) {
    *out << " " << format << ":" << bytes.size();
    if (bytes.size() <= 40) *out << "\"" << bytes << "\"";
  }
  *out << " }";
}

namespace testing {

// A PNG signature, then bytes of every value, NULs included, that no text conversion would
// leave alone.
inline std::string imageBytes(std::size_t size) {
  std::string bytes = "\x89PNG\r\n\x1A\n";
  std::uint32_t state = 2463534242u;
  while (bytes.size() < size) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    bytes += char(state & 0xFF);
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace testing
}  // namespace vellotype
