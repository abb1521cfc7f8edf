#include "refinement/DiagnosticLog.h"

#include <fcntl.h>
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
  // Transcripts are private: only the user may read the log.
  const int fd = ::open(file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  [[maybe_unused]] const auto written = ::write(fd, line.data(), line.size());
  ::close(fd);
}

}  // namespace vellotype
