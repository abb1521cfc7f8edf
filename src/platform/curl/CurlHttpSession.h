#pragma once
// HttpSession on libcurl: one worker thread, started with the session, runs every transfer and
// calls the handlers. Owned by the composition root; destroying it cancels what still runs.

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/HttpSession.h"
#include "platform/curl/CurlTransfer.h"

namespace vellotype {

class CurlHttpSession : public HttpSession {
 public:
  CurlHttpSession();
  // The handlers of unfinished transfers report "cancelled" before this returns.
  ~CurlHttpSession() override;
  CurlHttpSession(const CurlHttpSession&) = delete;
  CurlHttpSession& operator=(const CurlHttpSession&) = delete;

  // Any thread, handlers included.
  std::shared_ptr<HttpTask> dataTask(HttpRequest request, Handler handler) override;

 private:
  using Clock = CurlTransfer::Clock;

  // The worker thread's loop and its steps.
  void run();
  void admit(const std::shared_ptr<CurlTransfer>& transfer);
  void completeFinished();
  void endCancelledAndIdle(Clock::time_point now);
  int millisecondsToNextDeadline(Clock::time_point now) const;
  void cancelEverything();
  // Takes a transfer out of the multi handle and the running list.
  void detach(const std::shared_ptr<CurlTransfer>& transfer);

  // Shared with the tasks, whose cancel() wakes the worker through it.
  std::shared_ptr<void> multi_;

  std::mutex mutex_;
  std::vector<std::shared_ptr<CurlTransfer>> incoming_;  // guarded by mutex_
  bool stopping_ = false;                                // guarded by mutex_

  std::vector<std::shared_ptr<CurlTransfer>> running_;  // worker thread only
  std::thread worker_;
};

}  // namespace vellotype
