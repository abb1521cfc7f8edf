#include "refinement/DiagnosticLog.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace vellotype {
namespace {

std::string utcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// Makes the folder and any missing parents private to the user, as the XDG rules ask.
void makePrivateFolders(const std::filesystem::path& folder) {
  if (folder.empty() || std::filesystem::exists(folder)) return;
  makePrivateFolders(folder.parent_path());
  ::mkdir(folder.c_str(), 0700);
}

}  // namespace

DiagnosticLog::DiagnosticLog(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path DiagnosticLog::defaultPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // The XDG rules ignore a relative path.
  if (state && state[0] == '/') return std::filesystem::path(state) / "Vellotype.log";
  const passwd* user = getpwuid(getuid());
  const std::filesystem::path home = user && user->pw_dir ? user->pw_dir : "/";
  return home / ".local" / "state" / "Vellotype.log";
}

void DiagnosticLog::logToFile(std::string_view message) {
  std::string line = "[" + utcTimestamp() + "] ";
  line.append(message);
  line += '\n';

  const std::lock_guard lock(mutex_);
  makePrivateFolders(file_.parent_path());
  // Transcripts are private: only the user may read the log.
  const int fd = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  [[maybe_unused]] const auto written = ::write(fd, line.data(), line.size());
  ::close(fd);
}

}  // namespace vellotype
