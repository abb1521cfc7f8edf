// The composition root: sets up the Qt application, makes sure no other copy runs, builds the
// desktop platform and the components wired to it, and runs the event loop until the program
// quits.

#include <QApplication>
#include <QLockFile>
#include <QPalette>
#include <QStandardPaths>

#include "ApplicationComponents.h"
#include "DesktopPlatform.h"
#include "platform/qt/QtAlerts.h"
#include "platform/qt/VectorIconEngine.h"
#include "visual/StatusBarIcon.h"

int main(int argc, char* argv[]) {
  using namespace vellotype;

  // The hotkey, the paste and the capsule's placement all go through the X server, so on a
  // Wayland session the program is an XWayland client too.
  if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Vellotype");
  QApplication::setOrganizationName("Vellotype");
  // Closing a settings window or an alert must not end a program that has no main window.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(QIcon(new VectorIconEngine(
      StatusBarIcon::image(false), QApplication::palette().color(QPalette::WindowText))));

  // A second copy would find its own hotkey taken and explain the wrong problem. Checked before
  // the platform is built, which starts loading the speech model.
  QLockFile lock(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                 "/vellotype.lock");
  lock.setStaleLockTime(0);
  if (!lock.tryLock(0)) {
    QtAlerts().runModal({.messageText = "Vellotype Is Already Running",
                         .informativeText = "Its icon is in the system tray.",
                         .style = Alert::Style::informational,
                         .buttons = {"OK"}});
    return 1;
  }

  DesktopPlatform platform;
  ApplicationComponents components(platform);
  platform.mainQueue.post([&components] { components.delegate->applicationDidFinishLaunching(); });
  return QApplication::exec();
}
