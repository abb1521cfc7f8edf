#include "platform/curl/CurlHttpSession.h"

#include <algorithm>
#include <cmath>

namespace vellotype {
namespace {

// How long the worker sleeps when no transfer has a deadline; a wake-up cuts it short.
constexpr int kLongestWaitMilliseconds = 60'000;

void initialiseCurlOnce() {
  // Never cleaned up: curl_global_cleanup is not thread-safe, and a session may still run while
  // the process exits.
  [[maybe_unused]] static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
}

}  // namespace

CurlHttpSession::CurlHttpSession() {
  initialiseCurlOnce();
  multi_ = std::shared_ptr<void>(curl_multi_init(), [](void* multi) { curl_multi_cleanup(multi); });
  worker_ = std::thread([this] { run(); });
}

CurlHttpSession::~CurlHttpSession() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  curl_multi_wakeup(multi_.get());
  worker_.join();
}

std::shared_ptr<HttpTask> CurlHttpSession::dataTask(HttpRequest request, Handler handler) {
  auto transfer = std::make_shared<CurlTransfer>(std::move(request), std::move(handler), multi_);
  {
    const std::lock_guard lock(mutex_);
    incoming_.push_back(transfer);
  }
  curl_multi_wakeup(multi_.get());
  return transfer;
}

void CurlHttpSession::run() {
  for (;;) {
    std::vector<std::shared_ptr<CurlTransfer>> arrived;
    {
      const std::lock_guard lock(mutex_);
      if (stopping_) break;
      arrived.swap(incoming_);
    }
    for (const auto& transfer : arrived) admit(transfer);

    int stillRunning = 0;
    curl_multi_perform(multi_.get(), &stillRunning);
    completeFinished();
    const auto now = Clock::now();
    endCancelledAndIdle(now);
    curl_multi_poll(multi_.get(), nullptr, 0, millisecondsToNextDeadline(now), nullptr);
  }
  cancelEverything();
}

void CurlHttpSession::admit(const std::shared_ptr<CurlTransfer>& transfer) {
  if (transfer->setupResult() != CURLE_OK) {
    transfer->complete(transfer->setupResult());
  } else if (transfer->cancelRequested()) {
    transfer->complete(CURLE_ABORTED_BY_CALLBACK);
  } else if (curl_multi_add_handle(multi_.get(), transfer->easy()) != CURLM_OK) {
    transfer->complete(CURLE_FAILED_INIT);
  } else {
    transfer->started(Clock::now());
    running_.push_back(transfer);
  }
}

void CurlHttpSession::completeFinished() {
  int queued = 0;
  while (const CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    // The message dies with the handle's removal, so read it first.
    const CURL* easy = message->easy_handle;
    const CURLcode result = message->data.result;
    const auto found = std::find_if(running_.begin(), running_.end(), [easy](const auto& transfer) {
      return transfer->easy() == easy;
    });
    if (found == running_.end()) continue;
    const auto transfer = *found;
    detach(transfer);
    transfer->complete(result);
  }
}

void CurlHttpSession::endCancelledAndIdle(Clock::time_point now) {
  // A copy: completing a transfer changes the list, and a handler may start another.
  for (const auto& transfer : std::vector(running_)) {
    if (transfer->cancelRequested()) {
      detach(transfer);
      transfer->complete(CURLE_ABORTED_BY_CALLBACK);
    } else if (const auto deadline = transfer->idleDeadline(); deadline && now >= *deadline) {
      detach(transfer);
      transfer->expire();
    }
  }
}

int CurlHttpSession::millisecondsToNextDeadline(Clock::time_point now) const {
  double wait = kLongestWaitMilliseconds;
  for (const auto& transfer : running_) {
    if (const auto deadline = transfer->idleDeadline()) {
      // Rounded up: waking a little early would only spin until the deadline.
      wait = std::min(
          wait, std::ceil(std::chrono::duration<double, std::milli>(*deadline - now).count()));
    }
  }
  return int(std::max(wait, 0.0));
}

void CurlHttpSession::cancelEverything() {
  for (;;) {
    std::vector<std::shared_ptr<CurlTransfer>> left;
    {
      // Handlers that run below may still start transfers.
      const std::lock_guard lock(mutex_);
      left.swap(incoming_);
    }
    left.insert(left.end(), running_.begin(), running_.end());
    if (left.empty()) return;
    for (const auto& transfer : left) {
      transfer->cancel();
      detach(transfer);
      transfer->complete(CURLE_ABORTED_BY_CALLBACK);
    }
  }
}

void CurlHttpSession::detach(const std::shared_ptr<CurlTransfer>& transfer) {
  const auto found = std::find(running_.begin(), running_.end(), transfer);
  if (found == running_.end()) return;
  curl_multi_remove_handle(multi_.get(), transfer->easy());
  running_.erase(found);
}

}  // namespace vellotype
