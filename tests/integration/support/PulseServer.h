#pragma once
// A private PulseAudio daemon for one integration test process: its own runtime directory, two
// null sinks ("speakers", the default, and "micfeed") and a microphone "vmic" fed by micfeed.
// Started in the constructor, stopped in the destructor; owned by the test on its thread.

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vellotype::testing {

class PulseServer {
 public:
  static constexpr const char* kMicFeed = "micfeed";

  PulseServer() {
    auto pattern = (std::filesystem::temp_directory_path() / "vellotype-pulse-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    dir_ = pattern;
    // A second null sink keeps the program's own sounds, which go to the default sink, out of
    // the microphone that tests feed through micfeed.
    std::ofstream(dir_ / "setup.pa")
        << "load-module module-native-protocol-unix auth-anonymous=1\n"
           "load-module module-null-sink sink_name=speakers\n"
           "load-module module-null-sink sink_name=micfeed\n"
           "load-module module-remap-source source_name=vmic master=micfeed.monitor\n"
           "load-module module-always-sink\nset-default-sink speakers\nset-default-source vmic\n";
    start();
  }
  ~PulseServer() {
    stop();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Starts the daemon again in the same directory, so clients find it at the same address.
  // False when it could not start; then `error()` says why.
  bool start() {
    if (dir_.empty()) return false;
    stop();
    // The daemon returns once its setup script has run. Without clients for a minute, as when
    // the test crashed, it ends itself.
    const auto dir = dir_.string();
    const auto command = "PULSE_RUNTIME_PATH=" + dir + " pulseaudio -n -F " + dir +
                         "/setup.pa --daemonize=yes --exit-idle-time=60 --use-pid-file=yes "
                         "--log-target=file:" +
                         dir + "/pa.log";
    std::filesystem::remove(dir_ / "pid");
    const int status = std::system(command.c_str());
    if (status == 0) std::ifstream(dir_ / "pid") >> pid_;
    if (pid_ > 0) {
      error_.clear();
      return true;
    }
    std::ifstream log(dir_ / "pa.log");
    error_ = WIFEXITED(status) && WEXITSTATUS(status) == 127
                 ? "pulseaudio is not installed (package pulseaudio)"
                 : "pulseaudio did not start: " + std::string(std::istreambuf_iterator(log), {});
    return false;
  }
  void stop() {
    if (pid_ <= 0) return;
    // Not our child: a pidfd tells when it has gone.
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    pollfd gone{pidFd, POLLIN, 0};
    kill(pid_, SIGTERM);
    kill(pid_, SIGCONT);  // a frozen daemon must run to act on SIGTERM
    if (pidFd >= 0 && poll(&gone, 1, 5000) != 1) {
      kill(pid_, SIGKILL);
      poll(&gone, 1, -1);
    }
    if (pidFd >= 0) close(pidFd);
    pid_ = -1;
  }
  // Stands for a server that hangs: it keeps its connections but answers nothing until thawed.
  void freeze() {
    if (pid_ > 0) kill(pid_, SIGSTOP);
  }
  void thaw() {
    if (pid_ > 0) kill(pid_, SIGCONT);
  }

  // "unix:<dir>/native", for PULSE_SERVER or a client's server argument.
  std::string address() const { return "unix:" + (dir_ / "native").string(); }
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path dir_;
  pid_t pid_ = -1;
  std::string error_ = "no temporary directory";
};

}  // namespace vellotype::testing
