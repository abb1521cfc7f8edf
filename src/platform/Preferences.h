#pragma once
// The per-user preferences store. Reads are fresh on every call; writes are stored at once.
// Main thread only. Owned by the composition root.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellotype {

class Preferences {
 public:
  virtual ~Preferences() = default;

  // Each read yields nothing when the key is absent or its value does not read as that type.
  virtual std::optional<bool> boolValue(std::string_view key) const = 0;
  virtual std::optional<std::int64_t> integerValue(std::string_view key) const = 0;
  virtual std::optional<std::string> stringValue(std::string_view key) const = 0;

  virtual void setBool(std::string_view key, bool value) = 0;
  virtual void setInteger(std::string_view key, std::int64_t value) = 0;
  virtual void setString(std::string_view key, std::string_view value) = 0;
  virtual void remove(std::string_view key) = 0;
};

}  // namespace vellotype
