// The settings window's logic on fake widgets: what it loads, what it stores and what the status
// line says about a trial request.

#include <gmock/gmock.h>

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

class SettingsWindowTest : public ::testing::Test {
 protected:
  // The window reads the store when it is made, and the user types the fields given.
  void open(const std::string& baseURL, const std::string& key, const std::string& model,
            RefinerInterface* other = nullptr) {
    auto owned = std::make_unique<FakeSettingsView>(log);
    view = owned.get();
    window =
        std::make_shared<SettingsWindow>(preferences, other ? *other : refiner, std::move(owned));
    window->makeKeyAndOrderFront();
    view->fields = {{Field::baseURL, baseURL}, {Field::apiKey, key}, {Field::model, model}};
    log.clear();
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

TEST_F(SettingsWindowTest, FirstOpeningShowsTheDefaultsAsTextAndStoresNothing) {
  auto owned = std::make_unique<FakeSettingsView>(log);
  view = owned.get();
  window = std::make_shared<SettingsWindow>(preferences, refiner, std::move(owned));
  EXPECT_THAT(view->fields,
              ElementsAre(std::pair{Field::baseURL, "https://api.openai.com/v1"},
                          std::pair{Field::apiKey, ""}, std::pair{Field::model, "gpt-4o-mini"}));
  EXPECT_EQ(view->placeholders[Field::apiKey], "sk-...");
  EXPECT_TRUE(preferences.values.empty());
}

TEST_F(SettingsWindowTest, SaveStoresEveryFieldExactlyAsTypedAndCloses) {
  preferences.setString(prefs::kLLMAPIKey, "sk-old");
  open(" http://127.0.0.1:8080/v1 ", "", "model ");
  view->onSave();
  EXPECT_EQ(stored(prefs::kLLMAPIBaseURL), " http://127.0.0.1:8080/v1 ");
  EXPECT_EQ(stored(prefs::kLLMAPIKey), "") << "a cleared field stores an empty string";
  EXPECT_EQ(stored(prefs::kLLMModel), "model ");
  EXPECT_THAT(log.calls(), ElementsAre("view: hide")) << "no request";
}

TEST_F(SettingsWindowTest, TestStoresTheFieldsFirstAndShowsTheOutcome) {
  open("http://localhost/v1", "", "m");
  view->onTest();
  EXPECT_EQ(stored(prefs::kLLMAPIBaseURL), "http://localhost/v1");
  view->setText(Field::apiKey, " ");  // a blank key is still a key
  view->onTest();
  EXPECT_EQ(stored(prefs::kLLMAPIKey), " ");
  refiner.reply(RefinerError::transport("Could not connect to server"));
  queue.runUntilIdle();
  EXPECT_THAT(log.calls(), ElementsAre("view: status API key is empty (red)",
                                       "refiner: refine Hello, this is a test. (forced)",
                                       "view: status Testing... (secondary)",
                                       "view: status Could not connect to server (red)"));
}

TEST_F(SettingsWindowTest, LineBreaksAroundAPastedKeyGoSayingSoUntilTheOutcomeAndNothingElse) {
  open("http://localhost/v1", "\r\n sk-a\nb \n", "m");
  view->onTest();
  EXPECT_EQ(stored(prefs::kLLMAPIKey), " sk-a\nb ");
  EXPECT_EQ(view->fields[Field::apiKey], " sk-a\nb ") << "the field shows what was stored";
  refiner.reply(std::string("ok"));
  queue.runUntilIdle();
  view->setText(Field::apiKey, "\n");
  view->onSave();
  EXPECT_EQ(stored(prefs::kLLMAPIKey), "");
  view->onTest();
  const std::string removed = "view: status Removed a line break from the API key (secondary)";
  EXPECT_THAT(log.calls(), ElementsAre(removed, "refiner: refine Hello, this is a test. (forced)",
                                       "view: status OK: ok (green)", removed, "view: hide",
                                       "view: status API key is empty (red)"));
}

TEST_F(SettingsWindowTest, TheRealRefinerReadsWhatWasJustTypedAndAMalformedURLNeverShowsTesting) {
  FakeHttpSession session;
  DiagnosticLog discarded{"/dev/null"};
  LLMRefiner real{preferences, session, queue, discarded};
  open("https://api example.com/v1", "sk-key", "m", &real);
  view->onTest();
  EXPECT_THAT(log.calls(), ElementsAre("view: status Invalid API base URL (red)"));
  view->fields = {
      {Field::baseURL, "http://127.0.0.1:9/v1"}, {Field::apiKey, "sk-typed"}, {Field::model, "m"}};
  view->onTest();
  ASSERT_EQ(session.sent.size(), 1u);
  EXPECT_EQ(session.sent[0].request.url, "http://127.0.0.1:9/v1/chat/completions");
  EXPECT_EQ(session.sent[0].request.headers.at(1).second, "Bearer sk-typed");
}

TEST_F(SettingsWindowTest, AReplyAfterTheWindowIsGoneDoesNothing) {
  open("http://localhost/v1", "sk-key", "m");
  view->onTest();
  window.reset();
  const auto mark = log.size();
  refiner.reply(std::string("late"));
  queue.runUntilIdle();
  EXPECT_THAT(log.callsSince(mark), IsEmpty());
}

}  // namespace
}  // namespace vellotype
