#include "platform/curl/CurlTransfer.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace vellotype {
namespace {

// Zero, negative and NaN mean no limit, as curl's own timeouts do; the cap keeps the deadline
// within the clock's range.
std::optional<CurlTransfer::Clock::duration> limitOf(double seconds) {
  constexpr double kLongest = 365.0 * 24 * 3600;
  if (!(seconds > 0)) return std::nullopt;
  return std::chrono::duration_cast<CurlTransfer::Clock::duration>(
      std::chrono::duration<double>(std::min(seconds, kLongest)));
}

// A line break in a header would end it and start another (a key pasted with its newline, or one
// made to add headers); HTTP allows a tab inside a value, no other control character.
bool isSafeHeader(std::string_view name, std::string_view value) {
  const auto control = [](unsigned char c) { return c < 0x20 || c == 0x7f; };
  return std::none_of(name.begin(), name.end(), control) &&
         std::none_of(value.begin(), value.end(), [&](char c) { return c != '\t' && control(c); });
}

constexpr const char* kUnsafeHeader =
    "A request header holds a line break or another control character; check the API key";
constexpr const char* kBriefUnsafeHeader = "Control character in a request header";

}  // namespace

CurlTransfer::CurlTransfer(HttpRequest request, HttpSession::Handler handler,
                           std::weak_ptr<void> multi)
    : request_(std::move(request)),
      handler_(std::move(handler)),
      multi_(std::move(multi)),
      idleLimit_(limitOf(request_.timeoutSeconds)) {
  configure();
}

CurlTransfer::~CurlTransfer() {
  curl_easy_cleanup(easy_);
  curl_url_cleanup(url_);
  curl_slist_free_all(headers_);
}

void CurlTransfer::configure() {
  easy_ = curl_easy_init();
  url_ = curl_url();
  if (!easy_ || !url_) {
    setupResult_ = CURLE_OUT_OF_MEMORY;
    return;
  }
  // Parsed without guessing a scheme: curl would take "api.example.com/v1" for plain http and
  // send the key unencrypted.
  if (curl_url_set(url_, CURLUPART_URL, request_.url.c_str(), 0) != CURLUE_OK) {
    setupResult_ = CURLE_URL_MALFORMAT;
    return;
  }
  for (const auto& [name, value] : request_.headers) {
    if (!isSafeHeader(name, value)) {
      refused_ = true;
      setupResult_ = CURLE_BAD_FUNCTION_ARGUMENT;
      return;
    }
    // curl drops a header written with an empty value; the semicolon form sends it empty.
    const std::string line = value.empty() ? name + ";" : name + ": " + value;
    headers_ = curl_slist_append(headers_, line.c_str());
  }

  const CURLcode results[] = {
      curl_easy_setopt(easy_, CURLOPT_CURLU, url_),
      curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https"),
      // The key in the headers must only ever go to the host the user configured.
      curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L),
      curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L),
      curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L),
      // Signals belong to the program, not to a worker thread.
      curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L),
      curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_),
      curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorText_),
      curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::receiveBody),
      curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this),
      curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::receiveHeader),
      curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this),
      // A reply that announces its size is refused before any of it is read.
      curl_easy_setopt(easy_, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request_.maxBodyBytes)),
      request_.method == "HEAD"
          ? curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L)
          : curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, request_.method.c_str()),
  };
  for (const CURLcode result : results) {
    if (result != CURLE_OK) {
      setupResult_ = result;
      return;
    }
  }
  if (const auto total = limitOf(request_.totalTimeoutSeconds)) {
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS,
                     long(std::chrono::duration_cast<std::chrono::milliseconds>(*total).count()));
  }
  if (!request_.body.empty() || request_.method == "POST") {
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request_.body.size()));
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, request_.body.c_str());
  }
}

void CurlTransfer::cancel() {
  auto expected = State::running;
  if (!state_.compare_exchange_strong(expected, State::cancelled)) return;
  if (const auto multi = multi_.lock()) curl_multi_wakeup(multi.get());
}

std::optional<CurlTransfer::Clock::time_point> CurlTransfer::idleDeadline() const {
  if (!idleLimit_) return std::nullopt;
  return lastByte_ + *idleLimit_;
}

void CurlTransfer::complete(CURLcode result) {
  HttpOutcome outcome;
  // A cancel() that came before this point wins over whatever curl made of the transfer.
  if (state_.exchange(State::finished) == State::cancelled) {
    outcome.error = "cancelled";
  } else if (bodyTooLarge_ || result == CURLE_FILESIZE_EXCEEDED) {
    outcome.bodyTooLarge = true;
  } else if (refused_) {
    outcome.error = kUnsafeHeader;
    outcome.briefError = kBriefUnsafeHeader;
  } else if (result != CURLE_OK) {
    outcome.error = errorText_[0] != '\0' ? errorText_ : curl_easy_strerror(result);
    outcome.briefError = curl_easy_strerror(result);
    outcome.timedOut = result == CURLE_OPERATION_TIMEDOUT;
  } else if (!body_.empty()) {
    outcome.body = std::move(body_);
  }
  if (easy_ && !outcome.error)
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &outcome.statusCode);
  body_ = std::string();
  auto handler = std::exchange(handler_, nullptr);
  if (handler) handler(outcome);
}

void CurlTransfer::expire() {
  errorText_[0] = '\0';
  complete(CURLE_OPERATION_TIMEDOUT);
}

std::size_t CurlTransfer::receiveBody(char* data, std::size_t size, std::size_t count, void* self) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  const std::size_t length = size * count;
  transfer.lastByte_ = Clock::now();
  if (length > transfer.request_.maxBodyBytes - transfer.body_.size()) {
    // Returning less than was given stops the transfer.
    transfer.bodyTooLarge_ = true;
    return 0;
  }
  transfer.body_.append(data, length);
  return length;
}

std::size_t CurlTransfer::receiveHeader(char*, std::size_t size, std::size_t count, void* self) {
  static_cast<CurlTransfer*>(self)->lastByte_ = Clock::now();
  return size * count;
}

}  // namespace vellotype
