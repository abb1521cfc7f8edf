#pragma once
// A private Xvfb display for one integration test process, so tests that grab keys or own the
// clipboard never meet each other. Started in the constructor, killed in the destructor.

#include <sys/types.h>

#include <string>

namespace vellotype::testing {

class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Empty when Xvfb could not be started; then `error()` says why.
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace vellotype::testing
