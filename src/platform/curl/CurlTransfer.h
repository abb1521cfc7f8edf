#pragma once
// One request of a CurlHttpSession: its easy handle, the reply as it arrives, and the handler.
// cancel() may come from any thread, everything else runs on the session's worker thread.
// Shared by that worker and whoever holds the task; it may outlive the session.

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/HttpSession.h"

namespace vellotype {

class CurlTransfer : public HttpTask {
 public:
  using Clock = std::chrono::steady_clock;

  // `multi` is the multi handle that cancel() wakes, if it still exists.
  CurlTransfer(HttpRequest request, HttpSession::Handler handler, std::weak_ptr<void> multi);
  ~CurlTransfer() override;
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  void cancel() override;

  // The rest is for the worker thread.
  CURL* easy() const { return easy_; }
  // Why the request cannot be sent at all; CURLE_OK when it can.
  CURLcode setupResult() const { return setupResult_; }
  bool cancelRequested() const { return state_ == State::cancelled; }
  // Starts the idle clock as the handle joins the multi handle.
  void started(Clock::time_point now) { lastByte_ = now; }
  // When the transfer fails for want of a byte; nothing when it may wait for ever.
  std::optional<Clock::time_point> idleDeadline() const;
  // Hands the outcome to the handler. The easy handle must have left the multi handle.
  void complete(CURLcode result);
  // Completes as timed out, with curl's description of a timeout.
  void expire();

 private:
  enum class State { running, cancelled, finished };

  void configure();
  static std::size_t receiveBody(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t receiveHeader(char* data, std::size_t size, std::size_t count, void* self);

  HttpRequest request_;
  HttpSession::Handler handler_;
  std::weak_ptr<void> multi_;
  std::atomic<State> state_{State::running};

  CURL* easy_ = nullptr;
  CURLU* url_ = nullptr;
  curl_slist* headers_ = nullptr;
  CURLcode setupResult_ = CURLE_OK;
  // A header that would break the request's framing: nothing is sent.
  bool refused_ = false;
  char errorText_[CURL_ERROR_SIZE] = {};

  std::string body_;
  bool bodyTooLarge_ = false;
  Clock::time_point lastByte_;
  std::optional<Clock::duration> idleLimit_;
};

}  // namespace vellotype
