#pragma once
// Owns a reply, error or event that xcb allocated with malloc and the caller must free.

#include <cstdlib>
#include <memory>

namespace vellotype {

struct XcbFree {
  void operator()(void* p) const { std::free(p); }
};

template <typename T>
using XcbPtr = std::unique_ptr<T, XcbFree>;

}  // namespace vellotype
