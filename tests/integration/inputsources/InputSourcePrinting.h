#pragma once
// Lets a failed expectation show an input source as its identifier rather than as raw bytes.

#include <ostream>

#include "platform/InputSources.h"

namespace vellotype {

inline void PrintTo(const InputSource& source, std::ostream* out) {
  *out << source.identifier << (source.isASCIICapable ? " (ASCII-capable)" : "");
}

}  // namespace vellotype
