// The refiner over the real curl session, against a chat-completions server on loopback: what
// the server receives, what each reply becomes and logs, and what the recording controller then
// shows and delivers. The other services are fakes on virtual time, which the curl worker posts
// into.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "LoopbackServer.h"
#include "app/AppDelegate.h"
#include "fakes/CallLog.h"
#include "fakes/FakeAlerts.h"
#include "fakes/FakeApplication.h"
#include "fakes/FakeHotkeySettingsWindow.h"
#include "fakes/FakeKeyMonitor.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeOverlayPanel.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRecordingRetry.h"
#include "fakes/FakeSettingsWindow.h"
#include "fakes/FakeSounds.h"
#include "fakes/FakeSpeechEngine.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeSystemLog.h"
#include "fakes/FakeTextInjector.h"
#include "fakes/FakeWorkspace.h"
#include "fakes/ThreadSafeFakeMainQueue.h"
#include "platform/PreferenceKeys.h"
#include "platform/curl/CurlHttpSession.h"
#include "refinement/LLMRefiner.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::LoopbackServer;

// A reply with `content` as the first choice's message, as a chat-completions server sends it.
std::string completion(const nlohmann::json& content) {
  return nlohmann::json{{"choices", {{{"message", {{"role", "assistant"}, {"content", content}}}}}}}
      .dump();
}

LoopbackServer::Handler reply(int status, std::string body) {
  return [status, body](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    response.set_content(body, "application/json");
  };
}

// A header's one value; a header sent twice or not at all fails the comparison.
std::string header(const LoopbackServer::Received& request, const std::string& name) {
  const auto count = request.headers.count(name);
  return count == 1 ? request.headers.find(name)->second : std::to_string(count) + " values";
}

class RefinementExchangeTest : public ::testing::Test {
 protected:
  RefinementExchangeTest() {
    preferences.setBool(prefs::kLLMEnabled, true);
    preferences.setString(prefs::kLLMAPIKey, "sk-loop back");
    preferences.setString(prefs::kLLMAPIBaseURL, server.url("/v1"));
  }
  ~RefinementExchangeTest() override { std::filesystem::remove_all(folder); }

  // Runs refine() and then the main queue until the completion has run.
  std::optional<RefineResult> refine(const std::string& text, bool force = false) {
    auto result = std::make_shared<std::optional<RefineResult>>();
    refiner.refine(text, force, [result](const RefineResult& r) { *result = r; });
    EXPECT_TRUE(queue.runUntil([&] { return result->has_value(); }, 5s));
    return *result;
  }

  // The log's messages, without their timestamps; the log starts afresh.
  std::vector<std::string> takeLog() const {
    std::vector<std::string> lines;
    std::ifstream file(log.path());
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(23));
    std::filesystem::remove(log.path());
    return lines;
  }

  std::string requestLine() const {
    return "Request: " + server.url("/v1/chat/completions") + " model=gpt-4o-mini";
  }

  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vellotype-exchange-" + std::to_string(getpid()));
  ThreadSafeFakeMainQueue queue;
  FakePreferences preferences;
  DiagnosticLog log{folder / "Vellotype.log"};
  LoopbackServer server;
  CurlHttpSession session;
  LLMRefiner refiner{preferences, session, queue, log};
};

TEST_F(RefinementExchangeTest, ServerReceivesTheRequestAsStoredAndWithoutAKeyABareBearer) {
  server.answerWith(reply(200, completion("Fixed.")));
  refine("say \"hi\"");
  preferences.remove(prefs::kLLMAPIKey);
  preferences.setBool(prefs::kLLMEnabled, false);
  refine("x", /*force=*/true);

  const auto& prompt = LLMRefiner::kSystemPrompt;
  EXPECT_EQ(prompt.size(), 780u) << "bytes";
  EXPECT_EQ(std::count_if(prompt.begin(), prompt.end(), [](char c) { return (c & 0xC0) != 0x80; }),
            760)
      << "characters";
  const auto received = server.received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].method, "POST");
  EXPECT_EQ(received[0].path, "/v1/chat/completions");
  EXPECT_EQ(header(received[0], "Content-Type"), "application/json");
  EXPECT_EQ(header(received[0], "Authorization"), "Bearer sk-loop back");
  EXPECT_EQ(nlohmann::json::parse(received[0].body),
            (nlohmann::json{{"model", "gpt-4o-mini"},
                            {"temperature", 0.3},
                            {"messages",
                             {{{"role", "system"}, {"content", LLMRefiner::kSystemPrompt}},
                              {{"role", "user"}, {"content", "say \"hi\""}}}}}));
  // "Bearer " as sent: HTTP drops the white space that ends a field's value.
  EXPECT_EQ(header(received[1], "Authorization"), "Bearer");
}

TEST_F(RefinementExchangeTest, EachReplyBecomesItsResultAndItsLogLines) {
  const std::string apiError = R"({"error":{"message":"Incorrect API key provided"}})";
  // Its é is no UTF-8, so it is not logged, but it reads.
  std::string utf16;
  for (const char16_t unit :
       std::u16string_view(u"{\"choices\":[{\"message\":{\"content\":\"Caf\u00e9.\"}}]}")) {
    utf16 += {char(unit & 0xff), char(unit >> 8)};
  }
  const struct {
    int status;
    std::string body;
    RefineResult result;
    std::string lastLine;
  } cases[] = {
      {200, completion(" Fixed.\n"), std::string("Fixed."), "Refined: 'x' -> 'Fixed.'"},
      {200, completion(" \n\t"), std::string(), "Refined: 'x' -> ''"},
      {401, apiError, RefinerError::invalidResponse(), "Failed to parse response"},
      {200, R"({"choices":[]})", RefinerError::invalidResponse(), "Failed to parse response"},
      {200, completion(nullptr), RefinerError::invalidResponse(), "Failed to parse response"},
      {200, utf16, std::string("Caf\u00e9."), "Refined: 'x' -> 'Caf\u00e9.'"},
  };
  for (const auto& c : cases) {
    server.answerWith(reply(c.status, c.body));
    EXPECT_EQ(refine("x"), c.result) << c.body;
    std::vector<std::string> expected{requestLine(), "Response: " + c.body, c.lastLine};
    if (c.body == utf16) expected.erase(expected.begin() + 1);
    EXPECT_EQ(takeLog(), expected);
  }
}

TEST_F(RefinementExchangeTest, BaseURLLosesOneTrailingSlashOnlyAndAnEmptyOneFailsInTheTransport) {
  server.answerWith(reply(200, completion("ok")));
  for (const auto& [base, path] :
       {std::pair{"/v1/", "/v1/chat/completions"}, {"/v1//", "/v1//chat/completions"}}) {
    preferences.setString(prefs::kLLMAPIBaseURL, server.url(base));
    EXPECT_EQ(refine("x"), RefineResult(std::string("ok")));
    EXPECT_EQ(server.received().back().path, path);
  }
  takeLog();
  preferences.setString(prefs::kLLMAPIBaseURL, "");
  const std::string description = "URL using bad/illegal format or missing URL";
  EXPECT_EQ(refine("x"), RefineResult(RefinerError::transport(description)));
  EXPECT_THAT(takeLog(), ElementsAre("Request: /chat/completions model=gpt-4o-mini",
                                     "Network error: " + description));
}

TEST_F(RefinementExchangeTest, TwoQuickCallsBothCompleteAndTheSecondIsCurrent) {
  server.answerWith(reply(200, completion("ok")));
  std::vector<RefineResult> results;
  const auto collect = [&results](const RefineResult& r) { results.push_back(r); };
  refiner.refine("a", false, collect);
  const auto first = refiner.currentTask();
  refiner.refine("b", false, collect);
  EXPECT_NE(refiner.currentTask(), nullptr);
  EXPECT_NE(refiner.currentTask(), first);
  ASSERT_TRUE(queue.runUntil([&] { return results.size() == 2; }, 5s));
  EXPECT_THAT(results, Each(RefineResult(std::string("ok"))));
}

TEST_F(RefinementExchangeTest, CancelEndsAHeldRequestAtOnce) {
  server.holdRequests();
  std::optional<RefineResult> result;
  refiner.refine("x", false, [&](const RefineResult& r) { result = r; });
  ASSERT_TRUE(server.waitForRequests(1));
  refiner.cancel();
  EXPECT_EQ(refiner.currentTask(), nullptr);
  // Far below curl's progress interval of a second: the worker is woken, not polled.
  ASSERT_TRUE(queue.runUntil([&] { return result.has_value(); }, 300ms));
  EXPECT_EQ(result, RefineResult(RefinerError::transport("cancelled")));
  EXPECT_THAT(takeLog(), ElementsAre(requestLine(), "Network error: cancelled"));
}

TEST_F(RefinementExchangeTest, AReplyStillTricklingAtTheDeadlineFailsInTheTransport) {
  // A byte every tenth of a second: never idle for long, never done.
  server.answerWith([](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("application/json", [](size_t, httplib::DataSink& sink) {
      std::this_thread::sleep_for(100ms);
      return sink.write(" ", 1);
    });
  });
  LLMRefiner hurried{preferences, session, queue, log, /*totalTimeoutSeconds=*/0.5};
  std::optional<RefineResult> result;
  hurried.refine("x", false, [&](const RefineResult& r) { result = r; });
  ASSERT_TRUE(queue.runUntil([&] { return result.has_value(); }, 5s));
  const auto* error = std::get_if<RefinerError>(&*result);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code(), RefinerError::Code::transport);
  EXPECT_THAT(error->localizedDescription(), ::testing::StartsWith("Operation timed out after"));
  EXPECT_THAT(takeLog(),
              ElementsAre(requestLine(), "Network error: " + error->localizedDescription()));
}

TEST_F(RefinementExchangeTest, AReplyBeyondEightMebibytesOrARedirectIsRefused) {
  LoopbackServer elsewhere;
  server.answerWith(reply(200, std::string(9 << 20, ' ')));
  EXPECT_EQ(refine("x"), RefineResult(RefinerError::invalidResponse()));
  EXPECT_THAT(takeLog(), ElementsAre(requestLine(), "Failed to parse response"));

  server.answerWith([&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(elsewhere.url("/v1/chat/completions"));
    response.set_content("Moved", "text/plain");
  });
  EXPECT_EQ(refine("x"), RefineResult(RefinerError::invalidResponse()));
  EXPECT_THAT(elsewhere.received(), IsEmpty());
  EXPECT_THAT(takeLog(), ElementsAre(requestLine(), "Response: Moved", "Failed to parse response"));
}

TEST_F(RefinementExchangeTest, TheServersReplyDecidesWhatTheRecordingControllerShowsAndDelivers) {
  CallLog calls{queue.clock()};
  FakeSounds sounds{calls};
  FakeAlerts alerts{calls};
  FakeSystemLog systemLog{calls};
  FakeStatusBar statusBar{calls};
  FakeApplication application{calls};
  FakeWorkspace workspace{calls};
  FakeLoginItems loginItems{calls};
  auto speech = std::make_shared<FakeSpeechEngine>(calls);
  FakeRecordingRetry retry{calls, queue};
  auto app = std::make_shared<AppDelegate>(
      AppDelegate::Services{queue, preferences, sounds, alerts, systemLog, statusBar, application,
                            workspace, loginItems, "file:///help"},
      AppDelegate::Components{
          .keyMonitor = std::make_shared<FakeKeyMonitor>(calls),
          .speechEngine = speech,
          .textInjector = std::make_shared<FakeTextInjector>(calls),
          .refiner = refiner,
          .recordingRetry = retry,
          .makeOverlayPanel = [&] { return std::make_shared<FakeOverlayPanel>(calls); },
          .makeHotkeySettingsWindow =
              [&] { return std::make_shared<FakeHotkeySettingsWindow>(calls); },
          .makeSettingsWindow = [&] { return std::make_shared<FakeSettingsWindow>(calls); },
          .makeSpeechServiceSettingsWindow =
              [&] { return std::make_shared<FakeSpeechServiceSettingsWindow>(calls); },
      });
  app->applicationDidFinishLaunching();

  const std::string failed = "Refine failed: Invalid response from LLM API";
  const struct {
    int status;
    std::string content;
    std::vector<std::string> calls;  // once the reply is in
  } cases[] = {
      {200, "hello world", {"overlay: dismiss", "inject: hello world", "sound: Pop"}},
      {200,
       "Hello, world.",
       {"overlay: text \u2728 Hello, world.", "overlay: dismiss", "inject: Hello, world.",
        "sound: Pop"}},
      {401,
       "",
       {"syslog: [LLMRefiner] " + failed, "overlay: text " + failed, "overlay: dismiss",
        "inject: hello world", "sound: Pop"}},
  };
  for (const auto& c : cases) {
    server.answerWith(reply(c.status, c.status == 200 ? completion(c.content) : R"({"error":{}})"));
    app->triggerDown();
    speech->onPartialResult("hello world");
    app->triggerUp();
    speech->onFinalResult("hello world");
    const auto mark = calls.size();
    ASSERT_EQ(calls.calls().back(), "overlay: text Refining...");
    ASSERT_TRUE(queue.runUntil([&] { return calls.size() > mark; })) << c.content;
    queue.advanceBy(2);
    EXPECT_EQ(calls.callsSince(mark), c.calls) << c.content;
  }
}

}  // namespace
}  // namespace vellotype
