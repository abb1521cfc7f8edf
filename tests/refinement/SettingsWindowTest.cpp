// The settings window's logic on fake widgets: what it loads, what it stores and what the status
// line says about a trial request.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakeHttpSession.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRefiner.h"
#include "fakes/FakeSettingsView.h"
#include "platform/PreferenceKeys.h"
#include "refinement/LLMRefiner.h"
#include "refinement/SettingsWindow.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Field = SettingsView::Field;
using StatusColor = SettingsView::StatusColor;

class SettingsWindowTest : public ::testing::Test {
 protected:
  // The window reads the store when it is made: tests that need stored values make it later.
  void open(RefinerInterface& refinerToUse) {
    auto owned = std::make_unique<FakeSettingsView>(log);
    view = owned.get();
    window = std::make_shared<SettingsWindow>(preferences, refinerToUse, std::move(owned));
    window->makeKeyAndOrderFront();
    log.clear();
  }
  void open() { open(refiner); }

  void type(const std::string& baseURL, const std::string& key, const std::string& model) {
    view->fields = {{Field::baseURL, baseURL}, {Field::apiKey, key}, {Field::model, model}};
  }
  std::optional<std::string> stored(std::string_view key) const {
    return preferences.stringValue(key);
  }

  FakeMainQueue queue;
  CallLog log{queue};
  FakePreferences preferences;
  FakeRefiner refiner{log, queue};
  FakeSettingsView* view = nullptr;
  std::shared_ptr<SettingsWindow> window;
};

TEST_F(SettingsWindowTest, FirstOpeningWithNothingStoredShowsTheDefaultsAsText) {
  auto owned = std::make_unique<FakeSettingsView>(log);
  view = owned.get();
  window = std::make_shared<SettingsWindow>(preferences, refiner, std::move(owned));
  EXPECT_THAT(log.calls(), ElementsAre("view: status  (secondary)", "view: center"));
  EXPECT_FALSE(view->onScreen) << "made hidden";

  EXPECT_EQ(view->fields[Field::baseURL], "https://api.openai.com/v1");
  EXPECT_EQ(view->fields[Field::apiKey], "");
  EXPECT_EQ(view->fields[Field::model], "gpt-4o-mini");
  EXPECT_EQ(view->placeholders[Field::baseURL], "https://api.openai.com/v1");
  EXPECT_EQ(view->placeholders[Field::apiKey], "sk-...");
  EXPECT_EQ(view->placeholders[Field::model], "gpt-4o-mini");
  EXPECT_TRUE(preferences.values.empty()) << "opening stores nothing";
}

TEST_F(SettingsWindowTest, FieldsAreLoadedOnceAndReopeningShowsThemAsLeft) {
  preferences.setString(prefs::kLLMAPIBaseURL, "");
  preferences.setString(prefs::kLLMAPIKey, "sk-stored");
  preferences.setString(prefs::kLLMModel, "local");
  open();
  EXPECT_EQ(view->fields[Field::baseURL], "") << "a stored empty URL is kept";
  EXPECT_EQ(view->fields[Field::apiKey], "sk-stored");
  EXPECT_EQ(view->fields[Field::model], "local");

  view->fields[Field::model] = "unsaved";
  view->orderOut();  // the close button
  preferences.setString(prefs::kLLMModel, "changed elsewhere");
  window->makeKeyAndOrderFront();
  EXPECT_TRUE(view->onScreen);
  EXPECT_EQ(view->fields[Field::model], "unsaved");
  EXPECT_EQ(stored(prefs::kLLMModel), "changed elsewhere") << "closing stores nothing";
}

TEST_F(SettingsWindowTest, SaveStoresEveryFieldExactlyAsTypedAndCloses) {
  preferences.setString(prefs::kLLMAPIKey, "sk-old");
  open();
  type(" http://127.0.0.1:8080/v1 ", "", "model ");
  view->onSave();
  EXPECT_EQ(stored(prefs::kLLMAPIBaseURL), " http://127.0.0.1:8080/v1 ");
  EXPECT_EQ(stored(prefs::kLLMAPIKey), "") << "a cleared field stores an empty string";
  EXPECT_EQ(stored(prefs::kLLMModel), "model ");
  EXPECT_THAT(log.calls(), ElementsAre("view: hide")) << "no request";
}

TEST_F(SettingsWindowTest, TestWithAnEmptyKeyStoresTheFieldsAndSendsNothing) {
  preferences.setString(prefs::kLLMAPIKey, "sk-old");
  open();
  type("http://localhost/v1", "", "m");
  view->onTest();
  EXPECT_THAT(log.calls(), ElementsAre("view: status API key is empty (red)"));
  EXPECT_EQ(stored(prefs::kLLMAPIBaseURL), "http://localhost/v1");
  EXPECT_EQ(stored(prefs::kLLMAPIKey), "");
  EXPECT_TRUE(view->onScreen) << "Test leaves the window open";
}

TEST_F(SettingsWindowTest, TestShowsTestingThenTheReplyInGreenOrTheErrorInRed) {
  open();
  type("http://localhost/v1", " ", "m");  // a blank key is still a key
  view->onTest();
  EXPECT_THAT(log.calls(), ElementsAre("refiner: refine Hello, this is a test. (forced)",
                                       "view: status Testing... (secondary)"));
  EXPECT_EQ(stored(prefs::kLLMAPIKey), " ");
  refiner.reply(std::string("Hello, this is a test."));
  queue.runUntilIdle();
  EXPECT_EQ(view->status, "OK: Hello, this is a test.");
  EXPECT_EQ(view->statusColor, StatusColor::systemGreen);

  view->onTest();
  refiner.reply(RefinerError::transport("Could not connect to server"));
  EXPECT_EQ(view->status, "Testing...") << "the reply comes on the main queue";
  queue.runUntilIdle();
  EXPECT_EQ(view->status, "Could not connect to server");
  EXPECT_EQ(view->statusColor, StatusColor::systemRed);

  view->orderOut();
  window->makeKeyAndOrderFront();
  EXPECT_EQ(view->status, "Could not connect to server") << "reopening keeps the status";
}

TEST_F(SettingsWindowTest, AMalformedURLIsStoredFirstAndFailsWithoutEverShowingTesting) {
  FakeHttpSession session;
  DiagnosticLog discarded{"/dev/null"};
  LLMRefiner real{preferences, session, queue, discarded};
  open(real);
  type("https://api example.com/v1", "sk-key", "m");
  view->onTest();
  EXPECT_THAT(log.calls(), ElementsAre("view: status Invalid API base URL (red)"));
  EXPECT_EQ(stored(prefs::kLLMAPIBaseURL), "https://api example.com/v1");
  EXPECT_THAT(session.sent, IsEmpty());

  type("http://127.0.0.1:9/v1", "sk-typed", "typed-model");
  view->onTest();
  ASSERT_EQ(session.sent.size(), 1u);
  EXPECT_EQ(session.sent[0].request.url, "http://127.0.0.1:9/v1/chat/completions")
      << "the request uses what was just typed";
  EXPECT_EQ(session.sent[0].request.headers.at(1).second, "Bearer sk-typed");
}

TEST_F(SettingsWindowTest, AReplyAfterTheWindowIsGoneDoesNothing) {
  open();
  type("http://localhost/v1", "sk-key", "m");
  view->onTest();
  window.reset();
  const auto mark = log.size();
  refiner.reply(std::string("late"));
  queue.runUntilIdle();
  EXPECT_THAT(log.callsSince(mark), IsEmpty());
}

}  // namespace
}  // namespace vellotype
