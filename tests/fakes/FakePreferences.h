#pragma once
// An in-memory preferences store. A value stored as one type does not read as another.

#include <map>
#include <string>
#include <variant>

#include "platform/Preferences.h"

namespace vellotype {

class FakePreferences : public Preferences {
 public:
  using Value = std::variant<bool, std::int64_t, std::string>;

  std::optional<bool> boolValue(std::string_view key) const override { return read<bool>(key); }
  std::optional<std::int64_t> integerValue(std::string_view key) const override {
    return read<std::int64_t>(key);
  }
  std::optional<std::string> stringValue(std::string_view key) const override {
    return read<std::string>(key);
  }

  void setBool(std::string_view key, bool value) override { values[std::string(key)] = value; }
  void setInteger(std::string_view key, std::int64_t value) override {
    values[std::string(key)] = value;
  }
  void setString(std::string_view key, std::string_view value) override {
    values[std::string(key)] = std::string(value);
  }
  void remove(std::string_view key) override { values.erase(std::string(key)); }

  std::map<std::string, Value, std::less<>> values;

 private:
  template <typename T>
  std::optional<T> read(std::string_view key) const {
    const auto it = values.find(key);
    if (it == values.end() || !std::holds_alternative<T>(it->second)) return std::nullopt;
    return std::get<T>(it->second);
  }
};

}  // namespace vellotype
