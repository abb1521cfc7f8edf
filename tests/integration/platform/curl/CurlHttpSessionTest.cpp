// The curl session's own promises against a loopback server: replies, the body cap, the idle
// timeout, cancellation and the session's end.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>

#include "LoopbackServer.h"
#include "platform/curl/CurlHttpSession.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackServer;

// A wake-up, not a poll: far below curl's progress interval of a second.
constexpr auto kAtOnce = 300ms;
const std::string kBadURL = "URL using bad/illegal format or missing URL";

struct Reply {
  HttpOutcome outcome;
  std::thread::id thread;
};

// A handler that keeps what it is given; a second call throws on the worker and ends the test.
std::pair<HttpSession::Handler, std::future<Reply>> capture() {
  auto promise = std::make_shared<std::promise<Reply>>();
  return {[promise](const HttpOutcome& outcome) {
            promise->set_value({outcome, std::this_thread::get_id()});
          },
          promise->get_future()};
}

HttpRequest get(std::string url, double timeoutSeconds = 5, std::size_t maxBodyBytes = 1 << 20) {
  HttpRequest request;
  request.url = std::move(url);
  request.timeoutSeconds = timeoutSeconds;
  request.maxBodyBytes = maxBodyBytes;
  return request;
}

Reply send(CurlHttpSession& session, HttpRequest request) {
  auto [handler, future] = capture();
  session.dataTask(std::move(request), std::move(handler));
  if (future.wait_for(5s) == std::future_status::ready) return future.get();
  ADD_FAILURE() << "no outcome within 5 s";
  return {};
}

TEST(CurlHttpSessionReplies, AnyStatusDeliversTheBodyOnTheWorkerUpToTheCap) {
  const struct {
    int status;
    std::string content;
    bool chunked = false;
  } cases[] = {{401, R"({"error":{}})"},          {204, ""},
               {200, std::string(16, 'x')},       {200, std::string(17, 'x')},
               {200, std::string(16, 'x'), true}, {200, std::string(17, 'x'), true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content + (c.chunked ? " chunked" : ""));
    LoopbackServer server([&c](const httplib::Request&, httplib::Response& response) {
      response.status = c.status;
      if (!c.chunked && !c.content.empty()) response.set_content(c.content, "text/plain");
      if (!c.chunked) return;
      response.set_chunked_content_provider("text/plain", [&c](size_t, httplib::DataSink& sink) {
        sink.write(c.content.data(), c.content.size());
        sink.done();
        return true;
      });
    });
    CurlHttpSession session;
    const auto reply = send(session, get(server.url("/x"), 5, 16));
    const bool fits = c.content.size() <= 16;
    EXPECT_EQ(reply.outcome.error, std::nullopt);
    EXPECT_EQ(reply.outcome.body,
              c.content.empty() || !fits ? std::nullopt : std::optional(c.content));
    EXPECT_EQ(reply.outcome.bodyTooLarge, !fits);
    EXPECT_EQ(reply.outcome.statusCode, c.status);
    EXPECT_NE(reply.thread, std::this_thread::get_id());
  }
}

TEST(CurlHttpSessionFailures, CarryCurlsDescriptionAndGuessNoScheme) {
  LoopbackServer server;
  const struct {
    std::string url, description;
  } cases[] = {
      {"", kBadURL},
      // curl on its own would guess plain http and send the request.
      {server.url("/v1").substr(std::string_view("http://").size()), kBadURL},
      {"ftp://127.0.0.1/x", "Protocol \"ftp\" not supported"},
      {"http://127.0.0.1:1/", "Couldn't connect to server"},
  };
  CurlHttpSession session;
  for (const auto& c : cases) {
    const auto outcome = send(session, get(c.url)).outcome;
    EXPECT_THAT(outcome.error.value_or(""), ::testing::HasSubstr(c.description)) << c.url;
    EXPECT_EQ(outcome.body, std::nullopt);
  }
  EXPECT_TRUE(server.received().empty());
}

TEST(CurlHttpSessionFailures, AControlCharacterInAHeaderSendsNothing) {
  LoopbackServer server;
  CurlHttpSession session;
  for (const auto& [name, value] : {std::pair{"Authorization", "Bearer sk-pasted\n"},
                                    {"Authorization", "Bearer sk\r\nX-Injected: 1"},
                                    {"X-Injected: 1\r\nAuthorization", "Bearer sk"},
                                    {"Authorization", "Bearer sk\x7f"}}) {
    auto request = get(server.url("/v1"));
    request.headers = {{"Content-Type", "text/plain"}, {name, value}};
    const auto outcome = send(session, request).outcome;
    EXPECT_EQ(outcome.error, std::string("A request header holds a line break or another control "
                                         "character; check the API key"))
        << value;
    EXPECT_EQ(outcome.briefError, "Control character in a request header");
  }
  EXPECT_TRUE(server.received().empty());
}

TEST(CurlHttpSessionTimeouts, FailOnlyAfterThatLongWithoutAByteOrAfterTheWholeLimit) {
  // Six bytes a tenth of a second apart: longer in all than the limit, never idle for as long.
  LoopbackServer trickling([](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
      std::this_thread::sleep_for(100ms);
      sink.write("x", 1);
      if (offset == 5) sink.done();
      return true;
    });
  });
  LoopbackServer silent;
  silent.holdRequests();
  CurlHttpSession session;
  EXPECT_EQ(send(session, get(trickling.url("/"), 0.3)).outcome.body, "xxxxxx");
  auto limited = get(trickling.url("/"), 0.3);
  limited.totalTimeoutSeconds = 0.35;
  const auto cut = send(session, limited).outcome;
  EXPECT_THAT(cut.error.value_or(""), ::testing::HasSubstr("timed out after"));
  EXPECT_TRUE(cut.timedOut);

  const auto start = std::chrono::steady_clock::now();
  const auto idle = send(session, get(silent.url("/"), 0.3)).outcome;
  EXPECT_EQ(idle.error, "Timeout was reached");
  EXPECT_TRUE(idle.timedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST(CurlHttpSessionCancelAndEnd, StopAHeldTransferAtOnceAndLeaveAFinishedOneAlone) {
  LoopbackServer server;
  auto session = std::make_unique<CurlHttpSession>();
  auto [doneHandler, done] = capture();
  const auto finished = session->dataTask(get(server.url("/done")), std::move(doneHandler));
  ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(done.get().outcome.error, std::nullopt);
  finished->cancel();  // a second handler call would throw on the worker

  server.holdRequests();
  auto [cancelledHandler, cancelled] = capture();
  const auto held = session->dataTask(get(server.url("/held")), std::move(cancelledHandler));
  auto [endedHandler, ended] = capture();
  const auto running = session->dataTask(get(server.url("/held")), std::move(endedHandler));
  ASSERT_TRUE(server.waitForRequests(3));
  // curl wakes itself for a while after connecting, which would end a cancelled transfer soon
  // enough by chance. A short-lived transfer on a server that holds it outlasts that wake-up.
  EXPECT_EQ(send(*session, get(server.url("/short"), 0.25)).outcome.error, "Timeout was reached");
  held->cancel();
  ASSERT_EQ(cancelled.wait_for(kAtOnce), std::future_status::ready);
  EXPECT_EQ(cancelled.get().outcome.error, "cancelled");
  held->cancel();

  const auto start = std::chrono::steady_clock::now();
  session.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce);
  ASSERT_EQ(ended.wait_for(0s), std::future_status::ready) << "reported before the end";
  EXPECT_EQ(ended.get().outcome.error, "cancelled");
  running->cancel();
}

}  // namespace
}  // namespace vellotype
