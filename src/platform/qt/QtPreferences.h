#pragma once
// The preferences store as an INI file (~/.config/Vellotype/Vellotype.conf). It will hold an API
// key, so only the user may read it. Main thread only; owned by the composition root.

#include <QSettings>

#include "platform/Preferences.h"

namespace vellotype {

class QtPreferences : public Preferences {
 public:
  QtPreferences();

  std::optional<bool> boolValue(std::string_view key) const override;
  std::optional<std::int64_t> integerValue(std::string_view key) const override;
  std::optional<std::string> stringValue(std::string_view key) const override;

  void setBool(std::string_view key, bool value) override;
  void setInteger(std::string_view key, std::int64_t value) override;
  void setString(std::string_view key, std::string_view value) override;
  void remove(std::string_view key) override;

  QString fileName() const { return settings_.fileName(); }

 private:
  std::optional<QString> text(std::string_view key) const;
  // Written at once: another process, or a crash, must not lose a change.
  void store(std::string_view key, const QVariant& value);
  void writeThrough();

  mutable QSettings settings_;
};

}  // namespace vellotype
