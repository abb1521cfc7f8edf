#pragma once
// The refiner's diagnostic log: one timestamped line per event, appended to a file only the
// user can read. Any thread; appends are serialised. Owned by the composition root.

#include <filesystem>
#include <mutex>
#include <string_view>

namespace vellotype {

class DiagnosticLog {
 public:
  explicit DiagnosticLog(std::filesystem::path file);

  // Vellotype.log in $XDG_STATE_HOME, or ~/.local/state with the home from the password
  // database.
  static std::filesystem::path defaultPath();

  // "[2026-12-05T14:32:01Z] " + message + line feed. Every failure is silent: a line that cannot
  // be written is lost, and the caller carries on. Only a regular file is written (never through
  // a symbolic link), and it is left readable by the user alone.
  void logToFile(std::string_view message);

  const std::filesystem::path& path() const { return file_; }

 private:
  std::filesystem::path file_;
  std::mutex mutex_;
};

}  // namespace vellotype
