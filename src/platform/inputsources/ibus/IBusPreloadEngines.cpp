#include "platform/inputsources/ibus/IBusPreloadEngines.h"

#include <gio/gio.h>

namespace vellotype {
namespace {

constexpr const char* kSchema = "org.freedesktop.ibus.general";
constexpr const char* kKey = "preload-engines";
// What IBus's panel enables while the user has chosen nothing.
constexpr const char* kDefaultEngine = "xkb:us::eng";

}  // namespace

IBusPreloadEngines::IBusPreloadEngines() {
  // Looked up first: GSettings aborts the program on a schema that is not installed.
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (!source) return;
  GSettingsSchema* schema = g_settings_schema_source_lookup(source, kSchema, TRUE);
  if (!schema) return;
  if (g_settings_schema_has_key(schema, kKey)) {
    settings_ = g_settings_new_full(schema, nullptr, nullptr);
  }
  g_settings_schema_unref(schema);
}

IBusPreloadEngines::~IBusPreloadEngines() {
  if (settings_) g_object_unref(settings_);
}

std::optional<std::vector<std::string>> IBusPreloadEngines::names() const {
  if (!settings_) return std::nullopt;
  gchar** values = g_settings_get_strv(settings_, kKey);
  std::vector<std::string> names;
  for (gchar** value = values; value && *value; ++value) names.emplace_back(*value);
  g_strfreev(values);
  if (names.empty()) names.emplace_back(kDefaultEngine);
  return names;
}

}  // namespace vellotype
