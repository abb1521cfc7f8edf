#pragma once
// A program a test starts, with the test's environment, a log file, and death with the test.
// Stopped in the destructor; owned by the test on its thread.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vellotype::testing {

class ChildProcess {
 public:
  ChildProcess(std::vector<std::string> arguments, std::filesystem::path log);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False when the program could not be started; then `error()` says why.
  bool started() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // Whether it could not be started because the program is not installed.
  bool isMissing() const { return missing_; }

  bool isRunning();
  // The exit status once it has exited within `timeout`, else -1.
  int waitForExit(std::chrono::milliseconds timeout);
  void stop();
  // Stands for a daemon that hangs: its connections stay open but nothing answers.
  void freeze();
  void thaw();
  std::string logTail() const;

 private:
  pid_t pid_ = -1;
  int pidFd_ = -1;
  int status_ = -1;
  std::filesystem::path log_;
  std::string error_;
  bool missing_ = false;
};

}  // namespace vellotype::testing
