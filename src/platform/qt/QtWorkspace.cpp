#include "platform/qt/QtWorkspace.h"

#include <QDesktopServices>
#include <QLocale>
#include <QUrl>

namespace vellotype {

bool QtWorkspace::openURL(std::string_view url) {
  return QDesktopServices::openUrl(
      QUrl(QString::fromUtf8(url.data(), qsizetype(url.size())), QUrl::StrictMode));
}

std::string QtWorkspace::currentLocaleIdentifier() const {
  const auto locale = QLocale::system();
  // The "C" locale of a bare environment names no language.
  if (locale.language() == QLocale::C) return "en-US";
  return locale.name().replace('_', '-').toStdString();
}

bool QtWorkspace::isWaylandSession() const {
  return qgetenv("XDG_SESSION_TYPE") == "wayland" || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace vellotype
