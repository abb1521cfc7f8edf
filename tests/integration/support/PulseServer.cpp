#include "PulseServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

extern char** environ;

namespace vellotype::testing {

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;

// A second null sink keeps the program's own sounds, which go to the default sink, out of the
// microphone that tests feed through micfeed.
constexpr const char* kSetup =
    "load-module module-native-protocol-unix auth-anonymous=1\n"
    "load-module module-null-sink sink_name=speakers\n"
    "load-module module-null-sink sink_name=micfeed\n"
    "load-module module-remap-source source_name=vmic master=micfeed.monitor\n"
    "load-module module-always-sink\n"
    "set-default-sink speakers\n"
    "set-default-source vmic\n";

// Waiting on a pidfd needs no sleeping, and works for a process that has already become a zombie.
int openPidFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

bool exitsWithin(int pidFd, int timeoutMs) {
  if (pidFd < 0) return true;  // waitpid below will wait
  pollfd pfd{pidFd, POLLIN, 0};
  return poll(&pfd, 1, timeoutMs) == 1;
}

}  // namespace

PulseServer::PulseServer() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "vellotype-pulse-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    error_ = std::string("mkdtemp: ") + std::strerror(errno);
    return;
  }
  dir_ = pattern;
  std::ofstream(dir_ / "setup.pa") << kSetup;
  start();
}

PulseServer::~PulseServer() {
  stop();
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

std::string PulseServer::address() const { return "unix:" + (dir_ / "native").string(); }

bool PulseServer::start() {
  if (dir_.empty()) return false;
  stop();
  error_.clear();
  // The daemon reports readiness the systemd way, after its setup script has run.
  const std::string notifyPath = (dir_ / "notify").string();
  std::filesystem::remove(notifyPath);
  const int notifyFd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, notifyPath.c_str(), sizeof(addr.sun_path) - 1);
  if (notifyFd < 0 || bind(notifyFd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    error_ = std::string("notify socket: ") + std::strerror(errno);
    if (notifyFd >= 0) close(notifyFd);
    return false;
  }

  // Everything the child needs is built before fork: the test process has other threads.
  std::vector<std::string> env{"PULSE_RUNTIME_PATH=" + dir_.string(),
                               "NOTIFY_SOCKET=" + notifyPath};
  for (char** e = environ; *e; ++e) {
    const std::string_view var(*e);
    if (!var.starts_with("PULSE_RUNTIME_PATH=") && !var.starts_with("NOTIFY_SOCKET=")) {
      env.emplace_back(var);
    }
  }
  std::vector<std::string> args{"pulseaudio",
                                "-n",
                                "-F",
                                (dir_ / "setup.pa").string(),
                                "--daemonize=no",
                                "--exit-idle-time=-1",
                                "--use-pid-file=yes",
                                "--log-target=file:" + (dir_ / "pa.log").string()};
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a crashed test leaves no daemon behind
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (pid_ < 0) {
    error_ = std::string("fork: ") + std::strerror(errno);
    close(notifyFd);
    return false;
  }
  pidFd_ = openPidFd(pid_);
  const bool ready = waitUntilReady(notifyFd);
  close(notifyFd);
  if (!ready) stop();
  return ready;
}

bool PulseServer::waitUntilReady(int notifyFd) {
  pollfd fds[2] = {{notifyFd, POLLIN, 0}, {pidFd_, POLLIN, 0}};
  const nfds_t count = pidFd_ >= 0 ? 2 : 1;
  while (poll(fds, count, kStartTimeoutMs) > 0) {
    if (fds[0].revents & POLLIN) {
      char message[256];
      const ssize_t n = recv(notifyFd, message, sizeof(message) - 1, 0);
      if (n > 0 && std::string_view(message, static_cast<std::size_t>(n)).find("READY=1") !=
                       std::string_view::npos) {
        return true;
      }
    }
    if (count == 2 && (fds[1].revents & POLLIN)) {
      int status = 0;
      waitpid(pid_, &status, 0);
      pid_ = -1;
      error_ = WIFEXITED(status) && WEXITSTATUS(status) == 127
                   ? "pulseaudio is not installed (package pulseaudio)"
                   : "pulseaudio exited while starting: " + logTail();
      return false;
    }
  }
  error_ = "pulseaudio did not report ready within 10 s: " + logTail();
  return false;
}

void PulseServer::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    kill(pid_, SIGCONT);  // a frozen daemon must run to act on SIGTERM
    if (!exitsWithin(pidFd_, kStopTimeoutMs)) kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (pidFd_ >= 0) close(pidFd_);
  pidFd_ = -1;
}

void PulseServer::freeze() {
  if (pid_ > 0) kill(pid_, SIGSTOP);
}

void PulseServer::thaw() {
  if (pid_ > 0) kill(pid_, SIGCONT);
}

std::string PulseServer::logTail() const {
  std::ifstream in(dir_ / "pa.log");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text.size() > 1500 ? text.substr(text.size() - 1500) : text;
}

}  // namespace vellotype::testing
