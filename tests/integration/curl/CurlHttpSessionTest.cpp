// The curl session's own promises, against a loopback server: what a reply delivers, the body
// cap, the idle timeout, cancellation and the session's end. The refiner's exchange over it is
// in tests/integration/refinement.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>

#include "LoopbackServer.h"
#include "platform/curl/CurlHttpSession.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using testing::LoopbackServer;

// A wake-up, not a poll: far below curl's progress interval of a second.
constexpr auto kAtOnce = 300ms;

struct Reply {
  HttpOutcome outcome;
  std::thread::id thread;
};

// A handler that keeps what it is given; a second call throws on the worker and ends the test.
std::pair<HttpSession::Handler, std::future<Reply>> capture() {
  auto promise = std::make_shared<std::promise<Reply>>();
  auto future = promise->get_future();
  return {[promise](const HttpOutcome& outcome) {
            promise->set_value({outcome, std::this_thread::get_id()});
          },
          std::move(future)};
}

HttpRequest get(std::string url, double timeoutSeconds = 5, std::size_t maxBodyBytes = 1 << 20) {
  HttpRequest request;
  request.url = std::move(url);
  request.timeoutSeconds = timeoutSeconds;
  request.maxBodyBytes = maxBodyBytes;
  return request;
}

Reply send(CurlHttpSession& session, HttpRequest request, std::chrono::milliseconds wait = 5s) {
  auto [handler, future] = capture();
  session.dataTask(std::move(request), std::move(handler));
  if (future.wait_for(wait) != std::future_status::ready) {
    ADD_FAILURE() << "no outcome within " << wait.count() << " ms";
    return {};
  }
  return future.get();
}

// Serves `content` in one piece, or as a chunked stream with no length announced.
LoopbackServer::Handler serve(int status, std::string content, bool chunked = false) {
  return [=](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    if (!chunked) {
      if (!content.empty()) response.set_content(content, "text/plain");
      return;
    }
    response.set_chunked_content_provider("text/plain", [content](size_t, httplib::DataSink& sink) {
      sink.write(content.data(), content.size());
      sink.done();
      return true;
    });
  };
}

TEST(CurlHttpSessionReplies, AnyStatusDeliversTheBodyOnTheWorkerAndNoBodyIsNone) {
  const struct {
    int status;
    std::string content;
  } cases[] = {{200, "ok"}, {401, R"({"error":{}})"}, {500, "down"}, {204, ""}, {404, ""}};
  for (const auto& c : cases) {
    LoopbackServer server(serve(c.status, c.content));
    CurlHttpSession session;
    const auto reply = send(session, get(server.url("/x")));
    EXPECT_EQ(reply.outcome.error, std::nullopt) << c.status;
    EXPECT_EQ(reply.outcome.body, c.content.empty() ? std::nullopt : std::optional(c.content));
    EXPECT_FALSE(reply.outcome.bodyTooLarge);
    EXPECT_NE(reply.thread, std::this_thread::get_id());
  }
}

TEST(CurlHttpSessionReplies, BodyBeyondTheCapIsNotKept) {
  for (const bool chunked : {false, true}) {
    for (const std::size_t length : {16u, 17u}) {
      LoopbackServer server(serve(200, std::string(length, 'x'), chunked));
      CurlHttpSession session;
      const auto outcome = send(session, get(server.url("/"), 5, 16)).outcome;
      const bool fits = length <= 16;
      EXPECT_EQ(outcome.bodyTooLarge, !fits) << length << (chunked ? " chunked" : "");
      EXPECT_EQ(outcome.body.has_value(), fits);
      EXPECT_EQ(outcome.error, std::nullopt);
    }
  }
}

TEST(CurlHttpSessionFailures, CarryCurlsDescriptionAndGuessNoScheme) {
  LoopbackServer server;
  const std::string hostAndPort = server.url().substr(std::string_view("http://").size());
  const struct {
    std::string url;
    std::string description;
  } cases[] = {
      {"", "URL using bad/illegal format or missing URL"},
      {"/chat/completions", "URL using bad/illegal format or missing URL"},
      // curl on its own would guess plain http and send the request.
      {hostAndPort + "/v1", "URL using bad/illegal format or missing URL"},
      {"ftp://127.0.0.1/x", "Protocol \"ftp\" not supported"},
      {"http://127.0.0.1:1/", "Couldn't connect to server"},
  };
  CurlHttpSession session;
  for (const auto& c : cases) {
    const auto outcome = send(session, get(c.url)).outcome;
    EXPECT_THAT(outcome.error.value_or(""), HasSubstr(c.description)) << c.url;
    EXPECT_EQ(outcome.body, std::nullopt);
  }
  EXPECT_TRUE(server.received().empty());
}

TEST(CurlHttpSessionIdleTimeout, FailsOnlyAfterThatLongWithoutAByte) {
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

  const auto start = std::chrono::steady_clock::now();
  const auto outcome = send(session, get(silent.url("/"), 0.3)).outcome;
  EXPECT_EQ(outcome.error, "Timeout was reached");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

// curl wakes itself for a while after connecting, which would end a cancelled transfer soon
// enough by chance. A short-lived transfer on a server that holds it outlasts that wake-up.
void outlastCurlsOwnWakeUps(CurlHttpSession& session, LoopbackServer& holding) {
  EXPECT_EQ(send(session, get(holding.url("/short"), 0.25)).outcome.error, "Timeout was reached");
}

TEST(CurlHttpSessionCancel, EndsAHeldTransferAtOnceAndAFinishedOneNotAtAll) {
  LoopbackServer server;
  CurlHttpSession session;
  auto [doneHandler, done] = capture();
  const auto finished = session.dataTask(get(server.url("/done")), std::move(doneHandler));
  ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(done.get().outcome.error, std::nullopt);
  finished->cancel();  // a second handler call would throw on the worker

  server.holdRequests();
  auto [handler, reply] = capture();
  const auto held = session.dataTask(get(server.url("/held")), std::move(handler));
  ASSERT_TRUE(server.waitForRequests(2));
  outlastCurlsOwnWakeUps(session, server);
  held->cancel();
  ASSERT_EQ(reply.wait_for(kAtOnce), std::future_status::ready);
  EXPECT_EQ(reply.get().outcome.error, "cancelled");
  held->cancel();
}

TEST(CurlHttpSessionEnd, CancelsWhatRunsAndLeavesItsTasksHarmless) {
  LoopbackServer server;
  server.holdRequests();
  auto session = std::make_unique<CurlHttpSession>();
  auto [handler, reply] = capture();
  const auto task = session->dataTask(get(server.url("/held")), std::move(handler));
  ASSERT_TRUE(server.waitForRequests(1));
  outlastCurlsOwnWakeUps(*session, server);

  const auto start = std::chrono::steady_clock::now();
  session.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce);
  ASSERT_EQ(reply.wait_for(0s), std::future_status::ready) << "reported before the end";
  EXPECT_EQ(reply.get().outcome.error, "cancelled");
  task->cancel();
}

}  // namespace
}  // namespace vellotype
