// The refiner over the real curl session, against a chat-completions server on loopback: what
// the server receives, what each kind of reply becomes, and what the log shows.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "LoopbackServer.h"
#include "TestMainQueue.h"
#include "fakes/FakePreferences.h"
#include "platform/PreferenceKeys.h"
#include "platform/curl/CurlHttpSession.h"
#include "refinement/LLMRefiner.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::LoopbackServer;

// A reply with `content` as the first choice's message, as a chat-completions server sends it.
std::string completion(const nlohmann::json& content) {
  return nlohmann::json{{"choices", {{{"message", {{"role", "assistant"}, {"content", content}}}}}}}
      .dump();
}

// A reply's bytes in UTF-16LE, which JSON allows.
std::string utf16LE(std::u16string_view text) {
  std::string bytes;
  for (const char16_t unit : text) bytes += {char(unit & 0xff), char(unit >> 8)};
  return bytes;
}

LoopbackServer::Handler reply(int status, std::string body) {
  return [status, body](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    response.set_content(body, "application/json");
  };
}

class LLMRefinerExchangeTest : public ::testing::Test {
 protected:
  LLMRefinerExchangeTest() {
    preferences.setBool(prefs::kLLMEnabled, true);
    preferences.setString(prefs::kLLMAPIKey, "sk-loop back");
    preferences.setString(prefs::kLLMAPIBaseURL, server.url("/v1"));
  }
  ~LLMRefinerExchangeTest() override { std::filesystem::remove_all(folder); }

  struct Outcome {
    std::optional<RefineResult> result;
    bool synchronous = false;
  };
  // Runs refine() and then the main queue until the completion has run.
  Outcome refine(const std::string& text, bool force = false) {
    auto outcome = std::make_shared<Outcome>();
    auto returned = std::make_shared<bool>(false);
    refiner.refine(text, force, [outcome, returned](const RefineResult& result) {
      outcome->result = result;
      outcome->synchronous = !*returned;
    });
    *returned = true;
    EXPECT_TRUE(queue.runUntil([&] { return outcome->result.has_value(); }, 5s));
    return *outcome;
  }

  // The log's messages, without their timestamps.
  std::vector<std::string> logged() const {
    std::vector<std::string> lines;
    std::ifstream file(log.path());
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(23));
    return lines;
  }

  std::string requestLine() const {
    return "Request: " + server.url("/v1/chat/completions") + " model=gpt-4o-mini";
  }

  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vellotype-exchange-" + std::to_string(getpid()));
  testing::TestMainQueue queue;
  FakePreferences preferences;
  DiagnosticLog log{folder / "Vellotype.log"};
  LoopbackServer server;
  CurlHttpSession session;
  LLMRefiner refiner{preferences, session, queue, log};
};

TEST_F(LLMRefinerExchangeTest, ServerReceivesTheRequestAsStored) {
  server.answerWith(reply(200, completion("Fixed.")));
  refine("say \"hi\"");

  const auto received = server.received();
  ASSERT_EQ(received.size(), 1u);
  const auto& request = received[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/v1/chat/completions");
  EXPECT_EQ(request.headers.count("Content-Type"), 1u);
  EXPECT_EQ(request.headers.find("Content-Type")->second, "application/json");
  EXPECT_EQ(request.headers.count("Authorization"), 1u);
  EXPECT_EQ(request.headers.find("Authorization")->second, "Bearer sk-loop back");
  const auto body = nlohmann::json::parse(request.body);
  EXPECT_EQ(body.size(), 3u);
  EXPECT_EQ(body["model"], "gpt-4o-mini");
  EXPECT_EQ(body["temperature"], 0.3);
  EXPECT_EQ(body["messages"],
            (nlohmann::json{{{"role", "system"}, {"content", LLMRefiner::kSystemPrompt}},
                            {{"role", "user"}, {"content", "say \"hi\""}}}));
}

TEST_F(LLMRefinerExchangeTest, EachReplyBecomesItsResultAndItsLogLines) {
  const std::string apiError =
      R"({"error":{"message":"Incorrect API key provided","type":"invalid_request_error"}})";
  const auto invalid = RefinerError::invalidResponse();
  const struct {
    int status;
    std::string body;
    RefineResult result;
    std::vector<std::string> lines;  // after the request's line
  } cases[] = {
      {200,
       completion(" Fixed.\n"),
       std::string("Fixed."),
       {"Response: " + completion(" Fixed.\n"), "Refined: 'x' -> 'Fixed.'"}},
      {200,
       completion(" \n\t"),
       std::string(),
       {"Response: " + completion(" \n\t"), "Refined: 'x' -> ''"}},
      {401, apiError, invalid, {"Response: " + apiError, "Failed to parse response"}},
      {200,
       R"({"choices":[]})",
       invalid,
       {R"(Response: {"choices":[]})", "Failed to parse response"}},
      {200,
       completion(nullptr),
       invalid,
       {"Response: " + completion(nullptr), "Failed to parse response"}},
      // Latin-1: not logged, and no JSON either.
      {200,
       "{\"choices\":[{\"message\":{\"content\":\"Caf\xe9.\"}}]}",
       invalid,
       {"Failed to parse response"}},
      // Its é is no UTF-8, so it is not logged, but it reads.
      {200,
       utf16LE(u"{\"choices\":[{\"message\":{\"content\":\"Caf\u00e9.\"}}]}"),
       std::string("Caf\u00e9."),
       {"Refined: 'x' -> 'Caf\u00e9.'"}},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(log.path());
    server.answerWith(reply(c.status, c.body));
    const auto outcome = refine("x");
    EXPECT_FALSE(outcome.synchronous);
    EXPECT_EQ(outcome.result, c.result) << c.body;
    auto expected = c.lines;
    expected.insert(expected.begin(), requestLine());
    EXPECT_EQ(logged(), expected);
  }
}

TEST_F(LLMRefinerExchangeTest, BaseURLLosesOneTrailingSlashOnly) {
  server.answerWith(reply(200, completion("ok")));
  for (const auto& [base, path] :
       {std::pair{"/v1/", "/v1/chat/completions"}, std::pair{"/v1//", "/v1//chat/completions"}}) {
    preferences.setString(prefs::kLLMAPIBaseURL, server.url(base));
    EXPECT_EQ(refine("x").result, RefineResult(std::string("ok")));
    EXPECT_EQ(server.received().back().path, path);
  }
}

TEST_F(LLMRefinerExchangeTest, EmptyBaseURLFailsInTheTransportAndAMalformedOneBeforeIt) {
  preferences.setString(prefs::kLLMAPIBaseURL, "");
  auto outcome = refine("x");
  EXPECT_FALSE(outcome.synchronous) << "through the main queue";
  const std::string description = "URL using bad/illegal format or missing URL";
  EXPECT_EQ(outcome.result, RefineResult(RefinerError::transport(description)));
  EXPECT_THAT(logged(), ElementsAre("Request: /chat/completions model=gpt-4o-mini",
                                    "Network error: " + description));

  std::filesystem::remove(log.path());
  preferences.setString(prefs::kLLMAPIBaseURL, server.url("/v 1"));
  outcome = refine("x");
  EXPECT_TRUE(outcome.synchronous);
  EXPECT_EQ(outcome.result, RefineResult(RefinerError::invalidURL()));
  EXPECT_THAT(logged(), IsEmpty());
  EXPECT_THAT(server.received(), IsEmpty());
}

TEST_F(LLMRefinerExchangeTest, ForcedWithoutAKeySendsABareBearer) {
  preferences.remove(prefs::kLLMAPIKey);
  preferences.setBool(prefs::kLLMEnabled, false);
  server.answerWith(reply(200, completion("ok")));
  refine("x", /*force=*/true);
  const auto received = server.received();
  ASSERT_EQ(received.size(), 1u);
  ASSERT_EQ(received[0].headers.count("Authorization"), 1u);
  // "Bearer " as sent: HTTP drops the white space that ends a field's value.
  EXPECT_EQ(received[0].headers.find("Authorization")->second, "Bearer");
}

TEST_F(LLMRefinerExchangeTest, TwoQuickCallsBothCompleteAndTheSecondIsCurrent) {
  server.answerWith(reply(200, completion("ok")));
  std::optional<RefineResult> first, second;
  refiner.refine("one", false, [&](const RefineResult& result) { first = result; });
  const auto firstTask = refiner.currentTask();
  refiner.refine("two", false, [&](const RefineResult& result) { second = result; });
  const auto secondTask = refiner.currentTask();
  EXPECT_NE(secondTask, firstTask);

  ASSERT_TRUE(queue.runUntil([&] { return first && second; }, 5s));
  EXPECT_EQ(first, RefineResult(std::string("ok")));
  EXPECT_EQ(second, RefineResult(std::string("ok")));
  EXPECT_EQ(refiner.currentTask(), secondTask);
  EXPECT_EQ(server.received().size(), 2u);
}

TEST_F(LLMRefinerExchangeTest, CancelEndsAHeldRequestAtOnce) {
  server.holdRequests();
  std::optional<RefineResult> result;
  refiner.refine("x", false, [&](const RefineResult& r) { result = r; });
  ASSERT_TRUE(server.waitForRequests(1));

  refiner.cancel();
  EXPECT_EQ(refiner.currentTask(), nullptr);
  // Far below curl's progress interval of a second: the worker is woken, not polled.
  ASSERT_TRUE(queue.runUntil([&] { return result.has_value(); }, 300ms));
  EXPECT_EQ(result, RefineResult(RefinerError::transport("cancelled")));
  EXPECT_THAT(logged(), ElementsAre(requestLine(), "Network error: cancelled"));
}

TEST_F(LLMRefinerExchangeTest, ReplyBeyondEightMebibytesIsRefusedUnread) {
  const std::string nineMebibytes(9 << 20, ' ');
  for (const bool announced : {true, false}) {
    std::filesystem::remove(log.path());
    server.answerWith([&](const httplib::Request&, httplib::Response& response) {
      if (announced) return response.set_content(nineMebibytes, "application/json");
      response.set_chunked_content_provider(
          "application/json", [&](size_t offset, httplib::DataSink& sink) {
            constexpr std::size_t kPiece = 64 << 10;
            if (offset >= nineMebibytes.size()) sink.done();
            return offset >= nineMebibytes.size() || sink.write(nineMebibytes.data(), kPiece);
          });
    });
    EXPECT_EQ(refine("x").result, RefineResult(RefinerError::invalidResponse())) << announced;
    EXPECT_THAT(logged(), ElementsAre(requestLine(), "Failed to parse response"));
  }
}

TEST_F(LLMRefinerExchangeTest, RedirectIsNotFollowed) {
  LoopbackServer elsewhere;
  server.answerWith([&](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(elsewhere.url("/v1/chat/completions"));
    response.set_content("Moved", "text/plain");
  });
  EXPECT_EQ(refine("x").result, RefineResult(RefinerError::invalidResponse()));
  EXPECT_THAT(elsewhere.received(), IsEmpty());
  EXPECT_THAT(logged(), ElementsAre(requestLine(), "Response: Moved", "Failed to parse response"));
}

}  // namespace
}  // namespace vellotype
