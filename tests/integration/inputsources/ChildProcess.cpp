#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

extern char** environ;

namespace vellotype::testing {
namespace {

constexpr auto kStopTimeout = std::chrono::seconds(5);

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> arguments, std::filesystem::path log)
    : log_(std::move(log)) {
  // Everything the child needs is built before fork: the test process has other threads.
  std::vector<std::string> environment;
  for (char** variable = environ; *variable; ++variable) environment.emplace_back(*variable);
  std::vector<char*> argv;
  std::vector<char*> envp;
  for (auto& argument : arguments) argv.push_back(argument.data());
  for (auto& variable : environment) envp.push_back(variable.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const int output = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  // The child reports a failed exec through this pipe; a successful one closes it.
  int execError[2];
  if (output < 0 || ::pipe2(execError, O_CLOEXEC) != 0) {
    error_ = std::string("cannot start ") + arguments.front() + ": " + std::strerror(errno);
    if (output >= 0) ::close(output);
    return;
  }

  pid_ = ::fork();
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a crashed test leaves no daemon behind
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    ::execvpe(argv[0], argv.data(), envp.data());
    const int error = errno;
    [[maybe_unused]] auto written = ::write(execError[1], &error, sizeof(error));
    ::_exit(127);
  }
  ::close(output);
  ::close(execError[1]);
  int childError = 0;
  const auto got = pid_ > 0 ? ::read(execError[0], &childError, sizeof(childError)) : -1;
  ::close(execError[0]);
  if (pid_ < 0 || got > 0) {
    error_ = arguments.front() + ": " + std::strerror(pid_ < 0 ? errno : childError);
    missing_ = pid_ > 0 && childError == ENOENT;
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return;
  }
  pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::~ChildProcess() {
  stop();
  if (pidFd_ >= 0) ::close(pidFd_);
}

bool ChildProcess::isRunning() {
  return waitForExit(std::chrono::milliseconds(0)) == -1 && pid_ > 0;
}

int ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return status_;
  pollfd exited{pidFd_, POLLIN, 0};
  if (pidFd_ >= 0 && ::poll(&exited, 1, static_cast<int>(timeout.count())) != 1) return -1;
  int status = 0;
  if (::waitpid(pid_, &status, 0) != pid_) return -1;
  pid_ = -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

void ChildProcess::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::kill(pid_, SIGCONT);  // a frozen process must run to act on SIGTERM
  if (waitForExit(kStopTimeout) == -1 && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    waitForExit(kStopTimeout);
  }
}

void ChildProcess::freeze() {
  if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void ChildProcess::thaw() {
  if (pid_ > 0) ::kill(pid_, SIGCONT);
}

std::string ChildProcess::logTail() const {
  std::ifstream in(log_);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text.size() > 1500 ? text.substr(text.size() - 1500) : text;
}

}  // namespace vellotype::testing
