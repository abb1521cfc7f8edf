#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "fakes/TemporaryFolder.h"
#include "platform/posix/XdgAutostart.h"

namespace vellotype {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(XdgAutostart, WritesTheInstalledEntryToStartTheRunningProgramAndRemovesIt) {
  TemporaryFolder home;
  const auto entry = home / "config/autostart/vellotype.desktop";
  XdgAutostart autostart(VELLOTYPE_DESKTOP_ENTRY, entry, "/opt/my build/vellotype");
  EXPECT_FALSE(autostart.isEnabled());

  EXPECT_EQ(autostart.setEnabled(true), std::nullopt);
  EXPECT_TRUE(autostart.isEnabled());
  EXPECT_EQ(contents(entry),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Vellotype\n"
            "GenericName=Voice Input\n"
            "Comment=Hold a key, speak, and your words are typed where you are writing\n"
            "Exec=\"/opt/my build/vellotype\"\n"
            "Icon=vellotype\n"
            "Terminal=false\n"
            "Categories=Utility;Accessibility;\n"
            "Keywords=dictation;speech;voice;typing;\n"
            "StartupNotify=false\n"
            "X-GNOME-Autostart-enabled=true\n");
  EXPECT_EQ(modeOf(entry), 0644u);
  EXPECT_EQ(modeOf(home / "config"), 0700u);
  EXPECT_EQ(modeOf(entry.parent_path()), 0700u);
  // Written again over the first, with no temporary file left beside it.
  EXPECT_EQ(autostart.setEnabled(true), std::nullopt);
  EXPECT_EQ(std::distance(fs::directory_iterator(entry.parent_path()), {}), 1);

  EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
  EXPECT_FALSE(autostart.isEnabled());
  EXPECT_EQ(autostart.setEnabled(false), std::nullopt);
}

TEST(XdgAutostart, ThePackagedProgramIsStartedAsItsEntrySays) {
  TemporaryFolder home;
  XdgAutostart packaged(VELLOTYPE_DESKTOP_ENTRY, home / "a.desktop", "/usr/bin/vellotype");
  EXPECT_NE(packaged.entryText().find("\nExec=vellotype\n"), std::string::npos);
  // Without its desktop entry it still writes one that starts it.
  XdgAutostart copied(home / "missing.desktop", home / "a.desktop", "/home/u/bin/vellotype");
  EXPECT_EQ(copied.entryText(),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Vellotype\n"
            "Comment=Hold a key, speak, and your words are typed where you are writing\n"
            "Exec=/home/u/bin/vellotype\n"
            "Icon=vellotype\n"
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n");
}

// Root may write anywhere, so the failures are made with something in the way.
TEST(XdgAutostart, SomethingInTheWayIsReportedAndNothingIsChanged) {
  TemporaryFolder home;
  std::ofstream(home / "autostart") << "a file where the folder should be";
  XdgAutostart blockedFolder(VELLOTYPE_DESKTOP_ENTRY, home / "autostart/vellotype.desktop");
  EXPECT_EQ(blockedFolder.setEnabled(true), (home / "autostart").string() + " is not a folder");
  EXPECT_FALSE(blockedFolder.isEnabled());

  const auto entry = home / "other/vellotype.desktop";
  fs::create_directories(entry);
  XdgAutostart blockedEntry(VELLOTYPE_DESKTOP_ENTRY, entry);
  EXPECT_EQ(blockedEntry.setEnabled(true), entry.string() + " cannot be written (Is a directory)");
  EXPECT_FALSE(blockedEntry.isEnabled());
  EXPECT_EQ(blockedEntry.setEnabled(false), entry.string() + " cannot be removed (Is a directory)");
  EXPECT_EQ(std::distance(fs::directory_iterator(entry.parent_path()), {}), 1);
}

}  // namespace
}  // namespace vellotype
