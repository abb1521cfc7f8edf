// The speech service's settings window on fake widgets: what it loads and stores, and what its
// trial request sends and shows.

#include <gmock/gmock.h>

#include "fakes/FakeHttpSession.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeSettingsView.h"
#include "fakes/TemporaryFolder.h"
#include "platform/PreferenceKeys.h"
#include "transcription/PcmWav.h"
#include "transcription/SpeechServiceSettingsWindow.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using Field = SettingsView::Field;
using Languages = SpeechServiceSettings::Languages;

TEST(SpeechServiceSettingsWindow, LoadsTheDefaultsAndStoresEverythingOnTestAndSave) {
  FakeMainQueue queue;
  CallLog log{queue};
  FakePreferences preferences;
  FakeHttpSession http;
  TemporaryFolder folder;
  DiagnosticLog diagnostics(folder / "Vellotype.log");
  TranscriptionClient client(preferences, http, queue, diagnostics);
  auto owned = std::make_unique<FakeSpeechServiceSettingsView>(log);
  auto& view = *owned;
  auto window =
      std::make_shared<SpeechServiceSettingsWindow>(preferences, client, std::move(owned));
  int changes = 0;
  window->onChange = [&] { ++changes; };

  EXPECT_THAT(view.fields,
              ElementsAre(std::pair{Field::baseURL, "https://api.openai.com/v1"},
                          std::pair{Field::apiKey, ""}, std::pair{Field::model, "whisper-1"}));
  EXPECT_EQ(view.chosenLanguages, Languages::withoutLocalModel);
  EXPECT_FALSE(view.liveWordsOn);
  EXPECT_FALSE(preferences.stringValue(prefs::kSpeechServiceBaseURL)) << "nothing stored yet";

  view.fields = {{Field::baseURL, "http://127.0.0.1:8080/v1/"},
                 {Field::apiKey, "sk\r\n"},
                 {Field::model, "small"}};
  view.chosenLanguages = Languages::all;
  view.liveWordsOn = true;
  log.clear();
  view.onTest();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(preferences.stringValue(prefs::kSpeechServiceBaseURL), "http://127.0.0.1:8080/v1/");
  EXPECT_EQ(preferences.stringValue(prefs::kSpeechServiceModel), "small");
  EXPECT_EQ(preferences.stringValue(prefs::kSpeechServiceAPIKey), "sk") << "as pasted, less a line";
  EXPECT_EQ(view.fields[Field::apiKey], "sk");
  EXPECT_EQ(preferences.stringValue(prefs::kSpeechServiceLanguages), "all");
  EXPECT_EQ(preferences.boolValue(prefs::kSpeechServiceLiveWords), true);
  ASSERT_EQ(http.sent.size(), 1u);
  const auto& sent = http.sent[0].request;
  EXPECT_EQ(sent.url, "http://127.0.0.1:8080/v1/audio/transcriptions");
  EXPECT_THAT(sent.body, Not(HasSubstr("name=\"language\""))) << "the service tells the language";
  EXPECT_DOUBLE_EQ(PcmWav::seconds(SpeechServiceSettingsWindow::testSound()), 1.0);

  HttpOutcome outcome;
  outcome.statusCode = 200;
  outcome.body = R"({"text":""})";
  http.sent[0].handler(outcome);
  queue.runUntilIdle();
  outcome.statusCode = 401;
  view.onTest();
  http.sent[1].handler(outcome);
  queue.runUntilIdle();
  view.onSave();
  EXPECT_THAT(log.calls(),
              ElementsAre("view: status Removed a line break from the API key (secondary)",
                          "view: status OK: the service answered (no words in the test sound) "
                          "(green)",
                          "view: status Testing... (secondary)",
                          "view: status The speech service refused the API key (HTTP 401) (red)",
                          "view: hide"));
  EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace vellotype
