#pragma once
// The lines a client program writes to a pipe, such as the test editor's reports of its text,
// read as they come. Used on the test's thread; owned by the test.

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellotype::testing {

class ClientOutput {
 public:
  explicit ClientOutput(int fd) : fd_(fd) {}
  ~ClientOutput() { close(fd_); }
  ClientOutput(const ClientOutput&) = delete;
  ClientOutput& operator=(const ClientOutput&) = delete;

  // Reads until a line for which `done` holds has come after those already seen, or `timeout`
  // has passed.
  bool waitFor(const std::function<bool(const std::string& line)>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      // The last entry is the line still being written.
      while (seen_ + 1 < lines_.size()) {
        if (done(lines_[seen_++])) return true;
      }
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd readable{fd_, POLLIN, 0};
      char buffer[4096];
      if (left.count() <= 0 || poll(&readable, 1, int(left.count())) != 1) return false;
      const auto got = read(fd_, buffer, sizeof buffer);
      if (got <= 0) return false;
      for (const char c : std::string_view(buffer, std::size_t(got))) {
        if (c == '\n') {
          lines_.emplace_back();
        } else {
          lines_.back() += c;
        }
      }
    }
  }
  // A text as the test editor reports it: its UTF-8 bytes in hexadecimal.
  static std::string hex(std::string_view text) {
    std::string out;
    for (const unsigned char c : text)
      out += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    return out;
  }
  // The last whole line; empty before any.
  std::string last() const { return lines_.size() > 1 ? lines_[lines_.size() - 2] : ""; }

 private:
  int fd_;
  std::vector<std::string> lines_{""};
  std::size_t seen_ = 0;
};

}  // namespace vellotype::testing
