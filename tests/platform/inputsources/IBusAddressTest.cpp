#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "platform/ibus/IBusAddress.h"

namespace vellotype {
namespace {

using Files = std::vector<std::string>;

IBusAddress::Environment session(std::string configHome = "/home/u/.config") {
  IBusAddress::Environment environment;
  environment.configHome = std::move(configHome);
  environment.machineId = "0123abcd";
  return environment;
}

TEST(IBusAddressFiles, NamedAfterMachineHostAndDisplay) {
  auto environment = session();
  EXPECT_EQ(IBusAddress::addressFiles(environment),
            Files{"/home/u/.config/ibus/bus/0123abcd-unix-0"});
  environment.display = ":1";
  EXPECT_EQ(IBusAddress::addressFiles(environment),
            Files{"/home/u/.config/ibus/bus/0123abcd-unix-1"});
  environment.display = ":1.0";
  EXPECT_EQ(IBusAddress::addressFiles(environment),
            Files{"/home/u/.config/ibus/bus/0123abcd-unix-1"});
  environment.display = "box:2.1";
  EXPECT_EQ(IBusAddress::addressFiles(environment),
            Files{"/home/u/.config/ibus/bus/0123abcd-box-2"});
}

TEST(IBusAddressFiles, AWaylandSessionsFileComesBeforeTheX11One) {
  auto environment = session();
  environment.waylandDisplay = "wayland-0";
  environment.display = ":0";
  EXPECT_EQ(IBusAddress::addressFiles(environment),
            (Files{"/home/u/.config/ibus/bus/0123abcd-unix-wayland-0",
                   "/home/u/.config/ibus/bus/0123abcd-unix-0"}));
  environment.addressFile = "/run/ibus-address";
  EXPECT_EQ(IBusAddress::addressFiles(environment), Files{"/run/ibus-address"});
}

TEST(IBusAddressFiles, TheDaemonsLinesAreReadAndCommentsSkipped) {
  const auto announcement = IBusAddress::parse(
      "# IBUS_ADDRESS=unix:path=/old\n"
      "IBUS_ADDRESS=unix:abstract=/tmp/dbus-x,guid=42ab\n"
      "IBUS_DAEMON_PID=4242");
  ASSERT_TRUE(announcement);
  EXPECT_EQ(announcement->address, "unix:abstract=/tmp/dbus-x,guid=42ab");
  EXPECT_EQ(announcement->pid, 4242);
  EXPECT_FALSE(IBusAddress::parse("IBUS_DAEMON_PID=4242\n"));
  EXPECT_FALSE(IBusAddress::parse("IBUS_ADDRESS=\nIBUS_DAEMON_PID=4242\n"));
}

class IBusAddressLocate : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = (std::filesystem::temp_directory_path() / "ibus-address-XXXXXX");
    ASSERT_TRUE(::mkdtemp(folder.data()));
    folder_ = folder;
    std::filesystem::create_directories(folder_ / "ibus/bus");
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void announce(const std::string& file, const std::string& address, long pid) {
    std::ofstream(folder_ / "ibus/bus" / file)
        << "IBUS_ADDRESS=" << address << "\nIBUS_DAEMON_PID=" << pid << "\n";
  }

  std::filesystem::path folder_;
};

TEST_F(IBusAddressLocate, OnlyARunningDaemonsAddressCounts) {
  auto environment = session(folder_);
  EXPECT_EQ(IBusAddress::locate(environment), std::nullopt);

  announce("0123abcd-unix-0", "unix:path=/gone", INT_MAX);
  EXPECT_EQ(IBusAddress::locate(environment), std::nullopt);

  announce("0123abcd-unix-0", "unix:path=/alive", ::getpid());
  EXPECT_EQ(IBusAddress::locate(environment), "unix:path=/alive");

  // A dead daemon's Wayland file does not hide a running daemon's X11 one.
  environment.waylandDisplay = "wayland-0";
  announce("0123abcd-unix-wayland-0", "unix:path=/gone", INT_MAX);
  EXPECT_EQ(IBusAddress::locate(environment), "unix:path=/alive");

  environment.address = "unix:path=/from-variable";
  EXPECT_EQ(IBusAddress::locate(environment), "unix:path=/from-variable");
}

}  // namespace
}  // namespace vellotype
