// The refiner's decisions on a fake session; the exchange with a real HTTP server is in the
// integration tests.

#include <gmock/gmock.h>

#include <fstream>

#include "fakes/FakeHttpSession.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakePreferences.h"
#include "fakes/TemporaryFolder.h"
#include "platform/PreferenceKeys.h"
#include "refinement/LLMRefiner.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class LLMRefinerTest : public ::testing::Test {
 protected:
  LLMRefinerTest() {
    preferences.setBool(prefs::kLLMEnabled, true);
    preferences.setString(prefs::kLLMAPIKey, "sk-secret");
  }

  // Every result refine() handed to its completion, and whether it did so inside the call.
  std::pair<std::vector<RefineResult>, bool> run(const std::string& text, bool force = false,
                                                 const HttpOutcome* reply = nullptr) {
    std::filesystem::remove(log.path());
    std::vector<RefineResult> results;
    refiner.refine(text, force, [&](const RefineResult& r) { results.push_back(r); });
    const bool synchronous = !results.empty();
    if (reply) session.sent.back().handler(*reply);
    EXPECT_EQ(results.empty(), !synchronous) << "the completion waits for the main queue";
    queue.runUntilIdle();
    return {results, synchronous};
  }

  // The log's messages, without their timestamps.
  std::vector<std::string> logged() const {
    std::vector<std::string> lines;
    std::ifstream file(log.path());
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(23));
    return lines;
  }

  TemporaryFolder folder;
  FakeMainQueue queue;
  FakePreferences preferences;
  FakeHttpSession session;
  DiagnosticLog log{folder / "Vellotype.log"};
  LLMRefiner refiner{preferences, session, queue, log};
};

TEST_F(LLMRefinerTest, UnconfiguredRefinementHandsTheTextBackAtOnceUnlessForced) {
  for (const auto& [enabled, key] : {std::pair{false, "sk"}, {true, ""}, {true, nullptr}}) {
    preferences.setBool(prefs::kLLMEnabled, enabled);
    key ? preferences.setString(prefs::kLLMAPIKey, key) : preferences.remove(prefs::kLLMAPIKey);
    EXPECT_EQ(run("as said"), std::pair(std::vector{RefineResult("as said")}, true));
  }
  EXPECT_THAT(session.sent, IsEmpty());
  EXPECT_THAT(logged(), IsEmpty());
  run("test", /*force=*/true);
  ASSERT_EQ(session.sent.size(), 1u);
  EXPECT_EQ(session.sent[0].request.headers.at(1).second, "Bearer ") << "an absent key";
}

TEST_F(LLMRefinerTest, BaseURLLosesOneTrailingSlashAndAMalformedOneFailsAtOnceUnsent) {
  // An empty base URL is sent as it is, for the transport to refuse.
  // clang-format off
  for (const auto& [base, endpoint] : {
           std::pair{"http://127.0.0.1:9/v1/", "http://127.0.0.1:9/v1/chat/completions"},
           {"https://host/v1//", "https://host/v1//chat/completions"}, {"", "/chat/completions"},
           {"http://[::1]:8080/v1", "http://[::1]:8080/v1/chat/completions"},
           {"localhost:1234/v1", "localhost:1234/v1/chat/completions"},
           {"https://api example.com/v1", nullptr}, {"https://host/\xe4\xb8\xad", nullptr},
           {"https://host/a%2", nullptr}, {"http://ho[st/x", nullptr}, {"1http://host/x", nullptr},
           {"https://host:80a/x", nullptr}, {"https://host/x#a#b", nullptr}}) {
    // clang-format on
    session.sent.clear();
    preferences.setString(prefs::kLLMAPIBaseURL, base);
    const auto [results, synchronous] = run("text");
    if (endpoint) {
      ASSERT_EQ(session.sent.size(), 1u) << base;
      EXPECT_EQ(session.sent[0].request.url, endpoint);
      EXPECT_EQ(session.sent[0].request.timeoutSeconds, 10);
      EXPECT_EQ(session.sent[0].request.totalTimeoutSeconds, 30);
      EXPECT_THAT(logged(),
                  ElementsAre("Request: " + std::string(endpoint) + " model=gpt-4o-mini"));
      EXPECT_EQ(refiner.currentTask(), session.sent[0].task);
    } else {
      EXPECT_EQ(results, std::vector{RefineResult(RefinerError::invalidURL())}) << base;
      EXPECT_TRUE(synchronous);
      EXPECT_THAT(session.sent, IsEmpty());
      EXPECT_THAT(logged(), IsEmpty());
    }
  }
}

TEST_F(LLMRefinerTest, EachReplyIsJudgedLoggedAndCompletedOnceOnTheMainQueue) {
  const auto replied = [](std::optional<std::string> body, bool tooLarge = false) {
    return HttpOutcome{std::nullopt, std::move(body), tooLarge};
  };
  const std::string fixed = R"({"choices":[{"message":{"content":" Fixed.\n"}}]})";
  const std::string null = R"({"choices":[{"message":{"content":null}}]})";
  const std::string none = R"({"choices":[]})";
  const std::string deep = R"({"choices":[{"message":{"content":"x"}}],"d":)" +
                           std::string(64, '[') + std::string(64, ']') + "}";
  // JSON may come in any Unicode encoding; this one is no UTF-8, so it is not logged.
  std::string utf16;
  for (const char16_t c : std::u16string(u"{\"choices\":[{\"message\":{\"content\":\"é\"}}]}")) {
    utf16 += {char(c & 0xff), char(c >> 8)};
  }
  const auto invalid = RefinerError::invalidResponse();
  const std::string failed = "Failed to parse response";
  // clang-format off
  const struct {
    HttpOutcome outcome;
    RefineResult result;
    std::vector<std::string> lines;  // after the request's line
  } cases[] = {
      {{"cancelled", std::nullopt}, RefinerError::transport("cancelled"), {"Network error: cancelled"}},
      {replied(std::nullopt), invalid, {"No data in response"}},
      {replied(std::nullopt, true), invalid, {failed}},
      {replied(fixed), "Fixed.", {"Response: " + fixed, "Refined: 'say \"hi\"' -> 'Fixed.'"}},
      {replied(null), invalid, {"Response: " + null, failed}},
      {replied(none), invalid, {"Response: " + none, failed}},
      {replied(deep), invalid, {"Response: " + deep, failed}},
      {replied("{\"a\":\"\xff\"}"), invalid, {failed}},
      {replied(utf16), "é", {"Refined: 'say \"hi\"' -> 'é'"}},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(run("say \"hi\"", false, &c.outcome).first, std::vector{c.result});
    auto lines = logged();
    lines.erase(lines.begin());
    EXPECT_EQ(lines, c.lines);
  }
}

}  // namespace
}  // namespace vellotype
