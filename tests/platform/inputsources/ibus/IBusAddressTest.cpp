#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>

#include "platform/inputsources/ibus/IBusAddress.h"

namespace vellotype {
namespace {

using Files = std::vector<std::string>;

IBusAddress::Environment session(std::string configHome) {
  IBusAddress::Environment environment;
  environment.configHome = std::move(configHome);
  environment.machineId = "m";
  return environment;
}

TEST(IBusAddressFiles, NamedAfterMachineHostAndDisplayWithWaylandsFirst) {
  auto environment = session("/c");
  EXPECT_EQ(IBusAddress::addressFiles(environment), Files{"/c/ibus/bus/m-unix-0"});
  environment.display = ":1.0";
  EXPECT_EQ(IBusAddress::addressFiles(environment), Files{"/c/ibus/bus/m-unix-1"});
  environment.display = "box:2.1";
  environment.waylandDisplay = "wayland-0";
  EXPECT_EQ(IBusAddress::addressFiles(environment),
            (Files{"/c/ibus/bus/m-unix-wayland-0", "/c/ibus/bus/m-box-2"}));
}

// A daemon that died leaves its file behind.
TEST(IBusAddressLocate, OnlyARunningDaemonsAddressCounts) {
  std::string folder = std::filesystem::temp_directory_path() / "ibus-address-XXXXXX";
  ASSERT_TRUE(::mkdtemp(folder.data()));
  std::filesystem::create_directories(folder + "/ibus/bus");
  const auto announce = [&](const std::string& file, const std::string& address, long pid) {
    std::ofstream(folder + "/ibus/bus/m-unix-" + file)
        << "IBUS_ADDRESS=" << address << "\nIBUS_DAEMON_PID=" << pid << "\n";
  };
  auto environment = session(folder);
  EXPECT_EQ(IBusAddress::locate(environment), std::nullopt);
  announce("0", "unix:path=/gone", INT_MAX);
  EXPECT_EQ(IBusAddress::locate(environment), std::nullopt);
  announce("0", "unix:path=/alive", ::getpid());
  environment.waylandDisplay = "wayland-0";
  announce("wayland-0", "unix:path=/gone", INT_MAX);
  EXPECT_EQ(IBusAddress::locate(environment), "unix:path=/alive");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vellotype
