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
  explicit LoopbackServer(Handler handler = {}) : handler_(std::move(handler)) {
    const auto answer = [this](const httplib::Request& request, httplib::Response& response) {
      std::unique_lock lock(mutex_);
      received_.push_back({request.method, request.path, request.headers, request.body});
      changed_.notify_all();
      if (holding_) changed_.wait(lock, [this] { return !holding_; });
      const Handler handler = handler_;
      lock.unlock();
      if (handler) handler(request, response);
    };
    server_.Get(".*", answer);
    server_.Post(".*", answer);
    // One request per connection: no idle keep-alive connection holds up the server's end.
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() does nothing to a server that has not started running, which would then accept for
    // ever. Starting takes a moment; the port already queues connections meanwhile.
    while (!server_.is_running()) std::this_thread::yield();
  }
  // Lets held requests go, then waits for the server's threads.
  ~LoopbackServer() {
    release();
    server_.stop();
    thread_.join();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Answers the requests that come in from now on with `handler`.
  void answerWith(Handler handler) {
    const std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
  }
  // Keeps the requests that come in from now on unanswered until release().
  void holdRequests() {
    const std::lock_guard lock(mutex_);
    holding_ = true;
  }
  void release() {
    const std::lock_guard lock(mutex_);
    holding_ = false;
    changed_.notify_all();
  }

  // "http://127.0.0.1:<port>" followed by `path`.
  std::string url(std::string_view path = "") const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }
  std::vector<Received> received() const {
    const std::lock_guard lock(mutex_);
    return received_;
  }
  // Waits until `count` requests have come in, at most `timeout`; says whether they have.
  bool waitForRequests(std::size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(2)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
  }

 private:
  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Handler handler_;  // guarded by mutex_, as the rest below
  std::vector<Received> received_;
  bool holding_ = false;
};

}  // namespace vellotype::testing
