#include "refinement/DiagnosticLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "files/PrivateFiles.h"

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

}  // namespace

DiagnosticLog::DiagnosticLog(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path DiagnosticLog::defaultPath() {
  return files::userStateHome() / "Vellotype.log";
}

void DiagnosticLog::logToFile(std::string_view message) {
  std::string line = "[" + utcTimestamp() + "] ";
  line.append(message);
  line += '\n';

  const std::lock_guard lock(mutex_);
  files::makePrivateFolders(file_.parent_path());
  // Transcripts are private: only the user may read the log. It is never a link's target, and a
  // FIFO in its place must not hold up the caller until someone reads it.
  const int fd = ::open(file_.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    // A log made before, or by hand, may be readable by others.
    if ((info.st_mode & 07777) != 0600) ::fchmod(fd, 0600);
    [[maybe_unused]] const auto written = ::write(fd, line.data(), line.size());
  }
  ::close(fd);
}

}  // namespace vellotype
