#include "DesktopPlatform.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <string>

namespace vellotype {
namespace {

std::unique_ptr<DataControlPasteboard> dataControlOnWayland(const QtWorkspace& workspace) {
  std::string unavailable;
  return workspace.isWaylandSession() ? DataControlPasteboard::create("", unavailable) : nullptr;
}

}  // namespace

DesktopPlatform::DesktopPlatform()
    : sounds(locate("vellotype/sounds", "assets/sounds").toStdString()),
      loginItems(
          locate("applications/vellotype.desktop", "assets/vellotype.desktop").toStdString()),
      dataControl(dataControlOnWayland(workspace)),
      keyboard(workspace.isWaylandSession(), preferences, mainQueue,
               [this] { return dataControl || x11Pasteboard.textWasOffered(); }),
      inputSources(QDBusConnection::sessionBus()),
      diagnosticLog(DiagnosticLog::defaultPath()),
      keptRecordings(KeptRecordings::defaultFolder()),
      localRecognition(mainQueue) {}

QString DesktopPlatform::locate(const QString& installed, const QString& inSourceTree) {
  const QString path = QCoreApplication::applicationDirPath() + "/../share/" + installed;
  if (QFileInfo::exists(path)) return QDir::cleanPath(path);
  return QStringLiteral(VELLOTYPE_SOURCE_DIR "/") + inSourceTree;
}

}  // namespace vellotype
