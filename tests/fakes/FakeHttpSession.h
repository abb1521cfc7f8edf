#pragma once
// An HTTP session that keeps each request and lets the test answer it, on the test's thread as
// the session's worker would.

#include <vector>

#include "platform/HttpSession.h"

namespace vellotype {

class FakeHttpSession : public HttpSession {
 public:
  struct Task : HttpTask {
    void cancel() override { cancelled = true; }
    bool cancelled = false;
  };

  struct Sent {
    HttpRequest request;
    Handler handler;
    std::shared_ptr<Task> task;
  };

  std::shared_ptr<HttpTask> dataTask(HttpRequest request, Handler handler) override {
    sent.push_back({std::move(request), std::move(handler), std::make_shared<Task>()});
    return sent.back().task;
  }

  std::vector<Sent> sent;
};

}  // namespace vellotype
