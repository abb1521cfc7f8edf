#pragma once
// An HTTP server on 127.0.0.1, on a port of its own, inside the test's process. It answers on
// its own threads with the test's handler and keeps every request it received. Owned by the test.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vellotype::testing {

class LoopbackServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  struct Received {
    std::string method;
    std::string path;
    httplib::Headers headers;
    std::string body;
  };

  // Without a handler every request gets an empty 200 reply.
  explicit LoopbackServer(Handler handler = {});
  // Lets held requests go, then waits for the server's threads.
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Answers the requests that come in from now on with `handler`.
  void answerWith(Handler handler);
  // Keeps the requests that come in from now on unanswered until release().
  void holdRequests();
  void release();

  // "http://127.0.0.1:<port>" followed by `path`.
  std::string url(std::string_view path = "") const;
  std::vector<Received> received() const;
  // Waits until `count` requests have come in, at most `timeout`; says whether they have.
  bool waitForRequests(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(2)) const;

 private:
  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Handler handler_;  // guarded by mutex_
  std::vector<Received> received_;
  bool released_ = false;
};

}  // namespace vellotype::testing
