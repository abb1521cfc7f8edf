#include "platform/recognition/sphinx/SphinxModelCheck.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

extern char** environ;

namespace vellotype {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The library's last words are on the last line: an allocation it gave up on, an assertion.
constexpr std::size_t kKeptOutput = 4096;

std::string lastLine(std::string output) {
  output.erase(output.find_last_not_of("\n .") + 1);
  return output.substr(output.rfind('\n') + 1);
}

std::string systemError(int code) { return std::system_category().message(code); }

// Everything the child writes, until it closes its end or the time is up.
bool readUntilClosed(int fd, Clock::time_point deadline, std::string& output) {
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) return false;
    const auto got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;
    output.append(buffer, static_cast<std::size_t>(got));
    if (output.size() > kKeptOutput) output.erase(0, output.size() - kKeptOutput);
  }
}

// How the checker ended, in words.
std::string describe(int status, const std::string& lastLine) {
  const auto because = lastLine.empty() ? std::string() : ": " + lastLine;
  if (WIFSIGNALED(status)) {
    const char* signal = sigdescr_np(WTERMSIG(status));
    return "PocketSphinx crashed while reading it (" +
           (signal ? std::string(signal) : "signal " + std::to_string(WTERMSIG(status))) + ")" +
           because;
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code == 0) return {};
  if (code == SphinxModelCheck::kRefused)
    return lastLine.empty() ? "PocketSphinx rejected it" : lastLine;
  return "PocketSphinx quit while reading it" +
         (lastLine.empty() ? " (exit status " + std::to_string(code) + ")" : because);
}

}  // namespace

fs::path SphinxModelCheck::defaultProgram() {
  std::error_code error;
  const auto installed = fs::read_symlink("/proc/self/exe", error).parent_path() / ".." /
                         VELLOTYPE_LIBEXEC_DIR / "vellotype" / kProgramName;
  if (!error && fs::exists(installed, error)) return installed.lexically_normal();
  return VELLOTYPE_SPHINX_CHECK_BUILT;
}

SphinxModelCheck::SphinxModelCheck(fs::path program, std::chrono::milliseconds timeLimit)
    : program_(std::move(program)), timeLimit_(timeLimit) {}

// posix_spawn rather than fork(): the program has threads, and a forked copy of it could find a
// lock held by one of them.
std::string SphinxModelCheck::problem(const SphinxModelFiles& files) const {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    return "it could not be checked (" + systemError(errno) + ")";
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
  // What the program's libraries opened without O_CLOEXEC is none of the checker's business.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  auto program = program_.string();
  auto acousticModel = files.acousticModel.string();
  auto dictionary = files.dictionary.string();
  char* arguments[] = {program.data(), acousticModel.data(), dictionary.data(), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    return "Vellotype's model checker " + program + " could not be started (" +
           systemError(spawned) + ")";
  }
  std::string output;
  const bool finished = readUntilClosed(pipeEnds[0], Clock::now() + timeLimit_, output);
  close(pipeEnds[0]);
  if (!finished) kill(child, SIGKILL);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!finished) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", double(timeLimit_.count()) / 1000);
    return "PocketSphinx took more than " + std::string(seconds) + " s to read it";
  }
  return describe(status, lastLine(output));
}

}  // namespace vellotype
