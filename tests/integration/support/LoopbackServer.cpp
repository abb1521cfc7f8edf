#include "LoopbackServer.h"

namespace vellotype::testing {

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
  const auto answer = [this](const httplib::Request& request, httplib::Response& response) {
    Handler handler;
    {
      const std::lock_guard lock(mutex_);
      received_.push_back({request.method, request.path, request.headers, request.body});
      handler = handler_;
    }
    changed_.notify_all();
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

LoopbackServer::~LoopbackServer() {
  release();
  server_.stop();
  thread_.join();
}

void LoopbackServer::answerWith(Handler handler) {
  const std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void LoopbackServer::holdRequests() {
  answerWith([this](const httplib::Request&, httplib::Response&) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return released_; });
  });
}

void LoopbackServer::release() {
  {
    const std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

std::string LoopbackServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<LoopbackServer::Received> LoopbackServer::received() const {
  const std::lock_guard lock(mutex_);
  return received_;
}

bool LoopbackServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

}  // namespace vellotype::testing
