#pragma once
// Sends HTTP requests. dataTask() and cancel() run on the caller's (main) thread; each
// request's handler runs once, on a worker thread of the session. Owned by the composition root.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vellotype {

struct HttpRequest {
  std::string method = "GET";
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // Without a byte arriving for this long, the request fails.
  double timeoutSeconds = 60;
  // The whole exchange, upload included, must end within this; zero: no such limit.
  double totalTimeoutSeconds = 0;
  // A longer reply body is not kept: the outcome says so instead.
  std::size_t maxBodyBytes = 8 << 20;
};

struct HttpOutcome {
  // The transport's description of why there is no reply ("cancelled" after cancel()).
  std::optional<std::string> error;
  std::optional<std::string> body;  // absent when the reply had none
  bool bodyTooLarge = false;
  // One of the two time limits ran out; `error` then says which.
  bool timedOut = false;
  // The reply's HTTP status, 0 when no reply came.
  long statusCode = 0;
  // The transport's failure in a few words, for where space is short ("Couldn't connect to
  // server"); empty when `error` is all there is.
  std::string briefError = {};
};

class HttpTask {
 public:
  virtual ~HttpTask() = default;
  // Ends the transfer at once; the handler then reports the error "cancelled".
  virtual void cancel() = 0;
};

class HttpSession {
 public:
  using Handler = std::function<void(const HttpOutcome& outcome)>;

  virtual ~HttpSession() = default;

  // Starts the request. Redirects are not followed and certificates are always verified. A header
  // holding a control character (other than a tab in its value) fails the request unsent.
  virtual std::shared_ptr<HttpTask> dataTask(HttpRequest request, Handler handler) = 0;
};

}  // namespace vellotype
