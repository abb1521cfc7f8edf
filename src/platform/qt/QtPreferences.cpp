#include "platform/qt/QtPreferences.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vellotype {
namespace {

QString qKey(std::string_view key) { return QString::fromUtf8(key.data(), qsizetype(key.size())); }

}  // namespace

QtPreferences::QtPreferences()
    // Named outright: Qt would call an INI file in the user's scope "Vellotype.ini".
    : settings_(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                    "/Vellotype/Vellotype.conf",
                QSettings::IniFormat) {
  // A private folder keeps the file unreadable to others even in the moment between writing it
  // and narrowing its permissions.
  const auto folder = QFileInfo(settings_.fileName()).absolutePath().toLocal8Bit();
  ::mkdir(folder.constData(), 0700);
}

std::optional<QString> QtPreferences::text(std::string_view key) const {
  const auto value = settings_.value(qKey(key));
  if (!value.isValid()) return std::nullopt;
  // An unquoted comma, typed by hand into the file, makes the INI reader split the text.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',');
  return value.toString();
}

std::optional<bool> QtPreferences::boolValue(std::string_view key) const {
  const auto value = text(key);
  if (!value) return std::nullopt;
  const auto lower = value->trimmed().toLower();
  if (lower == "true" || lower == "1" || lower == "yes") return true;
  if (lower == "false" || lower == "0" || lower == "no") return false;
  return std::nullopt;
}

std::optional<std::int64_t> QtPreferences::integerValue(std::string_view key) const {
  const auto value = text(key);
  if (!value) return std::nullopt;
  bool ok = false;
  const auto number = value->trimmed().toLongLong(&ok);
  return ok ? std::optional<std::int64_t>(number) : std::nullopt;
}

std::optional<std::string> QtPreferences::stringValue(std::string_view key) const {
  const auto value = text(key);
  if (!value) return std::nullopt;
  return value->toStdString();
}

void QtPreferences::setBool(std::string_view key, bool value) { store(key, value); }

void QtPreferences::setInteger(std::string_view key, std::int64_t value) {
  store(key, qlonglong(value));
}

void QtPreferences::setString(std::string_view key, std::string_view value) {
  store(key, QString::fromUtf8(value.data(), qsizetype(value.size())));
}

void QtPreferences::remove(std::string_view key) {
  settings_.remove(qKey(key));
  writeThrough();
}

void QtPreferences::store(std::string_view key, const QVariant& value) {
  settings_.setValue(qKey(key), value);
  writeThrough();
}

void QtPreferences::writeThrough() {
  settings_.sync();
  QFile::setPermissions(settings_.fileName(), QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace vellotype
