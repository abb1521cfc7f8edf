// The reply reader on arbitrary bytes: it never crashes, never reads past a hostile depth, and
// on any UTF-8 document it finds what the whole document parsed would give.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string_view>

#include "refinement/JSONText.h"

namespace {

std::size_t depthOf(const nlohmann::json& value) {
  std::size_t deepest = 0;
  if (value.is_structured()) {
    for (const auto& element : value) deepest = std::max(deepest, depthOf(element));
    return deepest + 1;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto text = vellotype::readJSONString(bytes, {"text"});
  vellotype::readJSONString(bytes, {"choices", std::size_t(0), "message", "content"});

  const auto whole = nlohmann::json::parse(bytes, nullptr, false);
  if (whole.is_discarded() || depthOf(whole) > vellotype::kMaxJSONDepth) return 0;
  std::optional<std::string> expected;
  if (whole.is_object() && whole.contains("text") && whole["text"].is_string()) {
    expected = whole["text"].get<std::string>();
  }
  if (text != expected) __builtin_trap();
  return 0;
}
