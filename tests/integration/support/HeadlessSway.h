#pragma once
// A private sway on the headless backend for one test process or measurement, with the user's
// keyboard on its seat, and the clients started in it. Sway refuses to run as root, so on a root
// test machine sway and its clients run as a user of their own (created when missing), with a
// runtime directory of their own. Started in the constructor, stopped with its clients in the
// destructor; owned by the test on its thread.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ClientOutput.h"
#include "platform/keyboard/wayland/VirtualKeyboardEvents.h"

namespace vellotype::testing {

class HeadlessSway {
 public:
  static constexpr const char* kUser = "vellotype-wayland";

  // `layout`: the XKB layout of the user's keyboard.
  explicit HeadlessSway(const std::string& layout = "us") {
    namespace fs = std::filesystem;
    auto dir = (fs::temp_directory_path() / "vellotype-sway-XXXXXX").string();
    if (!findUser() || !mkdtemp(dir.data())) return;
    dir_ = dir;
    fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_exec);
    fs::create_directory(dir_ / "run");
    if (chown((dir_ / "run").c_str(), uid_, gid_) != 0) return;
    fs::permissions(dir_ / "run", fs::perms::owner_all);
    std::ofstream(dir_ / "config") << "output HEADLESS-1 resolution 1280x800\nxwayland enable\n";
    sway_ = launch({"sway", "-c", (dir_ / "config").string()},
                   {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});

    // A seat without a keyboard gives applications none until one comes, and each asks for it
    // only when told: the first keys of a first keyboard reach nobody. A desktop has its keyboard
    // before any application starts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const auto socket = dir_ / "run/wayland-1";
    while (!keyboard_) {
      if (waitpid(sway_, nullptr, WNOHANG) != 0 || std::chrono::steady_clock::now() > deadline) {
        error_ = "sway did not start (is the sway package installed?): " + error_ + " " + log();
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (fs::exists(socket)) keyboard_ = VirtualKeyboardEvents::create(socket, error_, layout);
    }
    display_ = socket.string();
    error_.clear();
  }
  ~HeadlessSway() {
    keyboard_.reset();
    for (const auto pid : clients_) kill(pid, SIGTERM), waitpid(pid, nullptr, 0);
    if (sway_ > 0) kill(sway_, SIGTERM), waitpid(sway_, nullptr, 0);
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  HeadlessSway(const HeadlessSway&) = delete;
  HeadlessSway& operator=(const HeadlessSway&) = delete;

  // The compositor's socket as wl_display_connect takes it; empty when sway did not start, and
  // then `error()` says why.
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }
  // The user's keyboard.
  VirtualKeyboardEvents& keyboard() { return *keyboard_; }
  // Sway's and its clients' standard error.
  std::string log() const {
    std::ifstream file(dir_ / "log");
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  // A text editor with the keyboard focus as a native Wayland client: `program` is the test
  // editor (tests/tools) on Qt's Wayland platform. Its reports of its text, or nothing when it
  // did not take the focus in 10 s.
  std::unique_ptr<ClientOutput> startEditor(const std::string& program) {
    // The build tree may be closed to sway's user.
    const auto copy = dir_ / "editor";
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
    int fd = -1;
    clients_.push_back(launch({copy.string()}, {"QT_QPA_PLATFORM=wayland"}, &fd));
    auto output = std::make_unique<ClientOutput>(fd);
    const auto ready = [](const std::string& line) { return line == "ready"; };
    return output->waitFor(ready, std::chrono::seconds(10)) ? std::move(output) : nullptr;
  }
  // Puts text on the clipboard as another application would. wl-copy returns once the
  // compositor has the new selection, and leaves a process behind that serves it.
  bool copy(const std::string& text) {
    int status = 0;
    const auto pid = launch({"wl-copy", "--", text}, {});
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  // What another application pastes from the clipboard (wl-paste), or nothing when it fails.
  // `serve` runs while it waits, for a clipboard owner in this process to answer.
  std::optional<std::string> paste(const std::function<void()>& serve) {
    int fd = -1;
    const auto pid = launch({"wl-paste", "--no-newline"}, {}, &fd);
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (bool open = true; open && std::chrono::steady_clock::now() < deadline;) {
      serve();
      pollfd readable{fd, POLLIN, 0};
      char buffer[4096];
      if (poll(&readable, 1, 10) != 1) continue;
      const auto got = read(fd, buffer, sizeof buffer);
      open = got > 0;
      if (open) text.append(buffer, std::size_t(got));
    }
    close(fd);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      return std::nullopt;
    }
    return text;
  }

 private:
  bool findUser() {
    uid_ = getuid(), gid_ = getgid();
    if (uid_ != 0) return true;
    // A parallel test may create the user first: only its presence afterwards counts.
    if (!getpwnam(kUser)) {
      std::system((std::string("useradd --system --no-create-home --shell /usr/sbin/nologin ") +
                   kUser + " >/dev/null 2>&1")
                      .c_str());
    }
    const auto* user = getpwnam(kUser);
    if (user) uid_ = user->pw_uid, gid_ = user->pw_gid;
    error_ = user ? "" : std::string("useradd could not make the user ") + kUser;
    return user;
  }

  // Standard input closed, standard output to a pipe whose read end goes to `output` (or
  // nowhere), standard error to the log.
  pid_t launch(const std::vector<std::string>& argv, std::vector<std::string> environment,
               int* output = nullptr) {
    environment.insert(environment.end(),
                       {"PATH=/usr/bin:/bin", "HOME=" + (dir_ / "run").string(),
                        "XDG_RUNTIME_DIR=" + (dir_ / "run").string(), "WAYLAND_DISPLAY=wayland-1"});
    std::vector<char*> args, env;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& v : environment) env.push_back(const_cast<char*>(v.c_str()));
    args.push_back(nullptr), env.push_back(nullptr);
    int fds[2] = {-1, -1};
    if (!output) fds[1] = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (output && pipe2(fds, O_CLOEXEC) == 0) *output = fds[0];
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int err = open((dir_ / "log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const bool root = getuid() == 0;
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(in, 0), dup2(fds[1], 1), dup2(err, 2);
      if (!root || (setgroups(0, nullptr) == 0 && setgid(gid_) == 0 && setuid(uid_) == 0)) {
        execvpe(args[0], args.data(), env.data());
      }
      perror(args[0]);
      _exit(127);
    }
    close(in), close(err), close(fds[1]);
    return pid;
  }

  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::filesystem::path dir_;
  pid_t sway_ = -1;
  std::vector<pid_t> clients_;
  std::unique_ptr<VirtualKeyboardEvents> keyboard_;
  std::string display_, error_ = "no directory for sway";
};

}  // namespace vellotype::testing
