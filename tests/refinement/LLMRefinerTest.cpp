// The refiner's decisions and its request, on a fake session; the exchange with a real HTTP
// server is in the integration tests.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unicode/unistr.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "fakes/FakeHttpSession.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakePreferences.h"
#include "platform/PreferenceKeys.h"
#include "refinement/LLMRefiner.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

HttpOutcome failed(std::string error) {
  HttpOutcome outcome;
  outcome.error = std::move(error);
  return outcome;
}
HttpOutcome replied(std::optional<std::string> body, bool tooLarge = false) {
  HttpOutcome outcome;
  outcome.body = std::move(body);
  outcome.bodyTooLarge = tooLarge;
  return outcome;
}

class LLMRefinerTest : public ::testing::Test {
 protected:
  LLMRefinerTest() {
    preferences.setBool(prefs::kLLMEnabled, true);
    preferences.setString(prefs::kLLMAPIKey, "sk-secret");
  }
  ~LLMRefinerTest() override { std::filesystem::remove_all(folder); }

  // What refine() handed to its completion, with whether that happened inside the call.
  struct Outcome {
    std::optional<RefineResult> result;
    bool synchronous = false;
  };
  Outcome run(const std::string& text, bool force = false) {
    auto outcome = std::make_shared<Outcome>();
    bool returned = false;
    refiner.refine(text, force, [outcome, &returned](const RefineResult& result) {
      outcome->result = result;
      outcome->synchronous = !returned;
    });
    returned = true;
    queue.runUntilIdle();
    return *outcome;
  }

  // The log's messages, without their timestamps.
  std::vector<std::string> logged() const {
    std::vector<std::string> lines;
    std::ifstream file(log.path());
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(23));
    return lines;
  }

  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vellotype-refiner-" + std::to_string(getpid()));
  FakeMainQueue queue;
  FakePreferences preferences;
  FakeHttpSession session;
  DiagnosticLog log{folder / "Vellotype.log"};
  LLMRefiner refiner{preferences, session, queue, log};
};

TEST_F(LLMRefinerTest, UnconfiguredRefinementHandsTheTextBackAtOnceUnlessForced) {
  for (const auto& [enabled, key] : {std::pair{false, "sk"}, {true, ""}}) {
    preferences.setBool(prefs::kLLMEnabled, enabled);
    preferences.setString(prefs::kLLMAPIKey, key);
    const auto outcome = run("as said");
    EXPECT_TRUE(outcome.synchronous);
    EXPECT_EQ(outcome.result, RefineResult(std::string("as said")));
  }
  preferences.remove(prefs::kLLMAPIKey);
  EXPECT_TRUE(run("as said").synchronous);
  EXPECT_THAT(session.sent, IsEmpty());
  EXPECT_THAT(logged(), IsEmpty());

  run("test", /*force=*/true);
  ASSERT_EQ(session.sent.size(), 1u);
  EXPECT_EQ(session.sent[0].request.headers.at(1).second, "Bearer ") << "an absent key";
}

TEST_F(LLMRefinerTest, InvalidBaseURLFailsAtOnceWithNothingLoggedOrSent) {
  preferences.setString(prefs::kLLMAPIBaseURL, "https://api example.com/v1");
  const auto outcome = run("text");
  EXPECT_TRUE(outcome.synchronous);
  EXPECT_EQ(outcome.result, RefineResult(RefinerError::invalidURL()));
  EXPECT_THAT(session.sent, IsEmpty());
  EXPECT_THAT(logged(), IsEmpty());
}

TEST_F(LLMRefinerTest, RequestCarriesThePromptTheTextAndTheSettingsAsStored) {
  EXPECT_EQ(LLMRefiner::kSystemPrompt.size(), 780u) << "bytes";
  EXPECT_EQ(icu::UnicodeString::fromUTF8(std::string(LLMRefiner::kSystemPrompt)).length(), 760);
  preferences.setString(prefs::kLLMAPIBaseURL, "http://127.0.0.1:9/v1/");
  preferences.setString(prefs::kLLMModel, " local-model ");
  run("say \"hi\"\nthere");

  ASSERT_EQ(session.sent.size(), 1u);
  const auto& request = session.sent[0].request;
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.url, "http://127.0.0.1:9/v1/chat/completions");
  EXPECT_THAT(
      request.headers,
      ElementsAre(std::pair<std::string, std::string>{"Content-Type", "application/json"},
                  std::pair<std::string, std::string>{"Authorization", "Bearer sk-secret"}));
  EXPECT_EQ(request.timeoutSeconds, 10);
  EXPECT_EQ(request.maxBodyBytes, 8u << 20);
  const auto body = nlohmann::json::parse(request.body);
  EXPECT_EQ(body, (nlohmann::json{{"model", " local-model "},
                                  {"messages",
                                   {{{"role", "system"}, {"content", LLMRefiner::kSystemPrompt}},
                                    {{"role", "user"}, {"content", "say \"hi\"\nthere"}}}},
                                  {"temperature", 0.3}}));
  EXPECT_THAT(logged(),
              ElementsAre("Request: http://127.0.0.1:9/v1/chat/completions model= local-model "));
  EXPECT_EQ(refiner.currentTask(), session.sent[0].task);
}

TEST_F(LLMRefinerTest, RepliesAreJudgedOnTheWorkerAndCompletedOnTheMainQueue) {
  const struct {
    HttpOutcome outcome;
    RefineResult result;
    std::vector<std::string> lines;
  } cases[] = {
      {failed("cancelled"), RefinerError::transport("cancelled"), {"Network error: cancelled"}},
      {replied(std::nullopt), RefinerError::invalidResponse(), {"No data in response"}},
      {replied(std::nullopt, true), RefinerError::invalidResponse(), {"Failed to parse response"}},
      {replied(R"({"choices":[{"message":{"content":" Fixed.\n"}}]})"),
       std::string("Fixed."),
       {R"(Response: {"choices":[{"message":{"content":" Fixed.\n"}}]})",
        "Refined: 'x' -> 'Fixed.'"}},
      {replied(R"({"choices":[{"message":{"content":null}}]})"),
       RefinerError::invalidResponse(),
       {R"(Response: {"choices":[{"message":{"content":null}}]})", "Failed to parse response"}},
      {replied(std::string("{\"a\":\"\xff\"}")),
       RefinerError::invalidResponse(),
       {"Failed to parse response"}},  // not UTF-8: not logged
  };
  for (const auto& c : cases) {
    std::filesystem::remove(log.path());
    bool completed = false;
    std::optional<RefineResult> result;
    refiner.refine("x", false, [&](const RefineResult& r) {
      completed = true;
      result = r;
    });
    session.sent.back().handler(c.outcome);
    EXPECT_FALSE(completed) << "the completion waits for the main queue";
    queue.runUntilIdle();
    EXPECT_EQ(result, c.result);
    auto lines = logged();
    lines.erase(lines.begin());  // the request line
    EXPECT_EQ(lines, c.lines);
  }
}

TEST_F(LLMRefinerTest, CancelDropsTheCurrentTaskAtOnce) {
  refiner.cancel();  // nothing in flight
  run("one");
  run("two");
  EXPECT_EQ(refiner.currentTask(), session.sent[1].task) << "the latest request";
  refiner.cancel();
  EXPECT_TRUE(session.sent[1].task->cancelled);
  EXPECT_FALSE(session.sent[0].task->cancelled);
  EXPECT_EQ(refiner.currentTask(), nullptr);
  EXPECT_EQ(&LLMRefiner::shared(), &refiner);
}

}  // namespace
}  // namespace vellotype
