#pragma once
// A private Xvfb display for one integration test process, so tests that grab keys or own the
// clipboard never meet each other. Started in the constructor, killed in the destructor.

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace vellotype::testing {

class XvfbServer {
 public:
  XvfbServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      // The abstract "local" socket must stay on: it is how -displayfd sees a number in use.
      // Without it every server unlinks and rebinds the same /tmp/.X11-unix socket, writes no
      // lock file, and parallel test processes all land on display 0.
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number it chose once it accepts connections.
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    char c;
    while (pid_ > 0 && poll(&pfd, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
      number += c;
    }
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~XvfbServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Empty when Xvfb could not be started; then `error()` says why.
  const std::string& display() const { return display_; }
  std::string error() const {
    return display_.empty() ? "Xvfb did not start (is the xvfb package installed?)" : "";
  }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace vellotype::testing
