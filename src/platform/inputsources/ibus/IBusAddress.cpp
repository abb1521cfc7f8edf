#include "platform/inputsources/ibus/IBusAddress.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vellotype {
namespace {

std::optional<std::string> variable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  std::stringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// "host:1.0" is host "host", display 1; the screen number does not count.
std::string x11Suffix(const std::optional<std::string>& display) {
  if (!display) return "unix-0";
  const auto colon = display->find(':');
  std::string host = display->substr(0, colon);
  std::string number = "0";
  if (colon != std::string::npos) {
    number = display->substr(colon + 1);
    number = number.substr(0, number.find('.'));
  }
  return (host.empty() ? "unix" : host) + "-" + number;
}

bool isRunning(pid_t pid) { return pid > 0 && ::kill(pid, 0) == 0; }

}  // namespace

IBusAddress::Environment IBusAddress::Environment::ofThisProcess() {
  Environment environment;
  environment.address = variable("IBUS_ADDRESS");
  environment.addressFile = variable("IBUS_ADDRESS_FILE");
  if (auto configHome = variable("XDG_CONFIG_HOME")) {
    environment.configHome = *configHome;
  } else if (auto home = variable("HOME")) {
    environment.configHome = *home + "/.config";
  } else if (const passwd* user = ::getpwuid(::getuid())) {
    environment.configHome = std::string(user->pw_dir) + "/.config";
  }
  environment.waylandDisplay = variable("WAYLAND_DISPLAY");
  environment.display = variable("DISPLAY");
  auto machineId = readFile("/var/lib/dbus/machine-id");
  if (!machineId) machineId = readFile("/etc/machine-id");
  environment.machineId = machineId ? trimmed(*machineId) : "machine-id";
  return environment;
}

std::optional<std::string> IBusAddress::locate(const Environment& environment) {
  if (environment.address) return environment.address;
  for (const auto& path : addressFiles(environment)) {
    const auto contents = readFile(path);
    if (!contents) continue;
    // A daemon that died leaves its file behind.
    if (auto announcement = parse(*contents); announcement && isRunning(announcement->pid)) {
      return announcement->address;
    }
  }
  return std::nullopt;
}

std::vector<std::string> IBusAddress::addressFiles(const Environment& environment) {
  if (environment.addressFile) return {*environment.addressFile};
  const std::string folder = environment.configHome + "/ibus/bus/" + environment.machineId + "-";
  std::vector<std::string> files;
  if (environment.waylandDisplay) files.push_back(folder + "unix-" + *environment.waylandDisplay);
  files.push_back(folder + x11Suffix(environment.display));
  return files;
}

std::optional<IBusAddress::Announcement> IBusAddress::parse(std::string_view contents) {
  constexpr std::string_view kAddressKey = "IBUS_ADDRESS=";
  constexpr std::string_view kPidKey = "IBUS_DAEMON_PID=";
  Announcement announcement;
  bool hasAddress = false;
  while (!contents.empty()) {
    const auto end = contents.find('\n');
    const auto line = contents.substr(0, end);
    contents = end == std::string_view::npos ? std::string_view() : contents.substr(end + 1);
    if (line.starts_with(kAddressKey)) {
      announcement.address = std::string(line.substr(kAddressKey.size()));
      hasAddress = !announcement.address.empty();
    } else if (line.starts_with(kPidKey)) {
      announcement.pid = std::atoi(std::string(line.substr(kPidKey.size())).c_str());
    }
  }
  if (!hasAddress) return std::nullopt;
  return announcement;
}

}  // namespace vellotype
