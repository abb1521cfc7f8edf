// Runs the input-source adapter tests with folders of their own, so the daemons they start, and
// dconf, never read or write the user's settings.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
  QTemporaryDir home;
  for (const char* variable :
       {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
    const QString folder = home.filePath(QString::fromLatin1(variable).toLower());
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv(variable, folder.toLocal8Bit());
  }
  qputenv("HOME", home.path().toLocal8Bit());
  // The frameworks of the desktop this runs on, if any, stay out of it.
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "IBUS_ADDRESS", "IBUS_ADDRESS_FILE",
                               "DBUS_SESSION_BUS_ADDRESS", "GSETTINGS_BACKEND"}) {
    qunsetenv(variable);
  }
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
