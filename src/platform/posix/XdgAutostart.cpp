#include "platform/posix/XdgAutostart.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

namespace vellotype {
namespace {

// Where the Debian package installs the program; its entry already says how to start it.
constexpr std::string_view kPackagedProgram = "/usr/bin/vellotype";
constexpr std::string_view kMainGroup = "[Desktop Entry]";

// For a program run from where its desktop entry cannot be read, such as a copied binary.
constexpr std::string_view kFallbackEntry =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Vellotype\n"
    "Comment=Hold a key, speak, and your words are typed where you are writing\n"
    "Exec=vellotype\n"
    "Icon=vellotype\n"
    "Terminal=false\n";

std::string reason() { return std::string(" (") + std::strerror(errno) + ")"; }

std::string keyOf(std::string_view line) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  auto key = line.substr(0, equals);
  while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
  return std::string(key);
}

// One Exec argument as the desktop entry rules read it: quoted when it holds a reserved
// character, then escaped once more as a string value, with % doubled so it is no field code.
std::string execArgument(const std::string& argument) {
  const bool quoted = argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
  std::string word = quoted ? "\"" : "";
  for (const char c : argument) {
    if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) word += '\\';
    word += c;
  }
  if (quoted) word += '"';
  std::string value;
  for (const char c : word) {
    if (c == '\\') {
      value += "\\\\";
    } else if (c == '\n') {
      value += "\\n";
    } else if (c == '\t') {
      value += "\\t";
    } else if (c == '%') {
      value += "%%";
    } else {
      value += c;
    }
  }
  return value;
}

std::optional<std::string> makeFolders(const std::filesystem::path& folder) {
  if (folder.empty()) return std::nullopt;
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return std::nullopt;
    return folder.string() + " is not a folder";
  }
  if (errno != ENOENT) return folder.string() + " cannot be reached" + reason();
  if (auto problem = makeFolders(folder.parent_path())) return problem;
  // New configuration folders are the user's alone, as the XDG rules ask.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return "the folder " + folder.string() + " cannot be made" + reason();
  }
  return std::nullopt;
}

bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const auto written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(std::size_t(written));
  }
  return true;
}

}  // namespace

XdgAutostart::XdgAutostart(std::filesystem::path applicationEntry,
                           std::filesystem::path autostartEntry, std::filesystem::path program)
    : applicationEntry_(std::move(applicationEntry)),
      autostartEntry_(std::move(autostartEntry)),
      program_(std::move(program)) {}

std::filesystem::path XdgAutostart::defaultAutostartEntry() {
  std::filesystem::path config;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (configHome && configHome[0] == '/') {
    config = configHome;
  } else if (home && home[0] == '/') {
    config = std::filesystem::path(home) / ".config";
  } else {
    const passwd* user = getpwuid(getuid());
    config = std::filesystem::path(user && user->pw_dir ? user->pw_dir : "/") / ".config";
  }
  return config / "autostart" / "vellotype.desktop";
}

std::filesystem::path XdgAutostart::runningProgram() {
  std::error_code error;
  auto program = std::filesystem::read_symlink("/proc/self/exe", error).string();
  // A package upgrade replaces the file under the running program; the new one is meant.
  constexpr std::string_view kDeleted = " (deleted)";
  if (program.ends_with(kDeleted)) program.resize(program.size() - kDeleted.size());
  return program;
}

bool XdgAutostart::isEnabled() {
  std::error_code error;
  return std::filesystem::is_regular_file(autostartEntry_, error);
}

std::optional<std::string> XdgAutostart::setEnabled(bool enabled) {
  return enabled ? write() : remove();
}

std::string XdgAutostart::entryText() const {
  std::ifstream file(applicationEntry_);
  std::stringstream source;
  if (file) source << file.rdbuf();
  if (!file || source.str().empty()) source.str(std::string(kFallbackEntry));

  // What starts at login must be what the user runs, not another copy found on the PATH.
  const bool ownExec = !program_.empty() && program_ != kPackagedProgram;
  std::string text;
  bool inMainGroup = false;
  const auto leaveMainGroup = [&] {
    if (inMainGroup) text += "X-GNOME-Autostart-enabled=true\n";
    inMainGroup = false;
  };
  for (std::string line; std::getline(source, line);) {
    if (line.starts_with('[')) {
      leaveMainGroup();
      inMainGroup = line == kMainGroup;
    } else if (inMainGroup) {
      const auto key = keyOf(line);
      if (key == "X-GNOME-Autostart-enabled" || key == "Hidden") continue;
      if (ownExec && key == "TryExec") continue;
      if (ownExec && key == "Exec") line = "Exec=" + execArgument(program_.string());
    }
    text += line + "\n";
  }
  leaveMainGroup();
  return text;
}

std::optional<std::string> XdgAutostart::write() const {
  const auto folder = autostartEntry_.parent_path();
  if (auto problem = makeFolders(folder)) return problem;
  // Written beside the entry and renamed over it, so a session starting meanwhile never reads
  // half an entry; the temporary name does not end in .desktop, so nothing starts it.
  auto temporary = autostartEntry_.string() + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return folder.string() + " cannot be written to" + reason();
  const bool written = writeAll(fd, entryText()) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  auto problem = reason();
  const bool closed = ::close(fd) == 0;
  if (written && !closed) problem = reason();
  if (written && closed) {
    if (::rename(temporary.c_str(), autostartEntry_.c_str()) == 0) return std::nullopt;
    problem = reason();
  }
  ::unlink(temporary.c_str());
  return autostartEntry_.string() + " cannot be written" + problem;
}

std::optional<std::string> XdgAutostart::remove() const {
  // An entry that is not there, or whose folder is not one, starts nothing: that is the aim.
  if (::unlink(autostartEntry_.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) {
    return std::nullopt;
  }
  return autostartEntry_.string() + " cannot be removed" + reason();
}

}  // namespace vellotype
