#pragma once
// A private PulseAudio daemon for one integration test process: its own runtime directory, two
// null sinks ("speakers", the default, and "micfeed") and a microphone "vmic" fed by micfeed.
// Started in the constructor, stopped in the destructor; owned by the test on its thread.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace vellotype::testing {

class PulseServer {
 public:
  static constexpr const char* kSpeakers = "speakers";
  static constexpr const char* kMicFeed = "micfeed";
  static constexpr const char* kMicrophone = "vmic";

  PulseServer();
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // Starts the daemon again in the same directory, so clients find it at the same address.
  // False when it could not start; then `error()` says why.
  bool start();
  void stop();
  // Stands for a server that hangs: it keeps its connections but answers nothing until thawed.
  void freeze();
  void thaw();

  // "unix:<dir>/native", for PULSE_SERVER or a client's server argument.
  std::string address() const;
  const std::filesystem::path& runtimePath() const { return dir_; }
  const std::string& error() const { return error_; }

 private:
  bool waitUntilReady(int notifyFd);
  std::string logTail() const;

  std::filesystem::path dir_;
  pid_t pid_ = -1;
  int pidFd_ = -1;
  std::string error_;
};

}  // namespace vellotype::testing
