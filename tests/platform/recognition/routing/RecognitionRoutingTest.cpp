// Which recogniser each language gets for each setting, and how a language recognised both
// locally and by the service reports: local live words and fallback, the service's final text.

#include <gmock/gmock.h>

#include "fakes/FakeHttpSession.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeSpeechRecognition.h"
#include "fakes/TemporaryFolder.h"
#include "platform/PreferenceKeys.h"
#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/routing/CombinedSpeechRecognizer.h"
#include "platform/recognition/routing/RoutedSpeechRecognition.h"
#include "platform/recognition/service/ServiceSpeechRecognizer.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using Fake = FakeSpeechRecognition;

std::string kindOf(const std::shared_ptr<SpeechRecognizer>& recognizer,
                   const std::shared_ptr<Fake::Recognizer>& local) {
  if (!recognizer) return "none";
  if (recognizer == local) return "local";
  if (dynamic_cast<CombinedSpeechRecognizer*>(recognizer.get())) return "both";
  if (dynamic_cast<ServiceSpeechRecognizer*>(recognizer.get())) return "service";
  return "other";
}

TEST(RecognitionRouting, ALanguageHasItsLocalModelTheServiceBothOrNothingBySetting) {
  FakeMainQueue queue;
  FakeHttpSession http;
  TemporaryFolder folder;
  DiagnosticLog log(folder / "Vellotype.log");
  KeptRecordings kept(folder / "recordings");
  FakePreferences preferences;
  TranscriptionClient client(preferences, http, queue, log);
  Fake local;
  const auto english = std::make_shared<Fake::Recognizer>();
  local.recognizers["en-US"] = english;
  RoutedSpeechRecognition routed(local, preferences, client, kept, queue);

  // clang-format off
  const struct { std::optional<std::string> baseURL, languages; std::string english, chinese; } rows[] = {
      {{}, {}, "local", "none"},  // never saved: the default address was never tried
      {"", "all", "local", "none"},
      {"http://127.0.0.1:8080/v1", {}, "local", "service"},
      {"http://127.0.0.1:8080/v1", "withoutLocalModel", "local", "service"},
      {"http://127.0.0.1:8080/v1", "all", "both", "service"},
      {"http://127.0.0.1:8080/v1", "none", "local", "none"},
      {"http://127.0.0.1:8080/v1", "unknown", "local", "service"},
  };
  // clang-format on
  for (const auto& row : rows) {
    preferences.remove(prefs::kSpeechServiceBaseURL);
    preferences.remove(prefs::kSpeechServiceLanguages);
    if (row.baseURL) preferences.setString(prefs::kSpeechServiceBaseURL, *row.baseURL);
    if (row.languages) preferences.setString(prefs::kSpeechServiceLanguages, *row.languages);
    EXPECT_EQ(kindOf(routed.recognizer("en-US"), english), row.english)
        << row.baseURL.value_or("-") << " " << row.languages.value_or("-");
    EXPECT_EQ(kindOf(routed.recognizer("zh-CN"), english), row.chinese)
        << row.baseURL.value_or("-") << " " << row.languages.value_or("-");
  }

  // A model still in use is not loaded a second time.
  local.recognizers["en-GB"] = std::make_shared<Fake::Recognizer>();
  local.lookups = 0;
  const auto held = routed.recognizer("en-GB");
  routed.recognizer("en-GB");
  EXPECT_EQ(local.lookups, 1);
}

class CombinedRecognitionTest : public ::testing::Test {
 protected:
  CombinedRecognitionTest() {
    request->setAddsPunctuation(true);
    task = combined.recognitionTask(request, [this](const auto& result, const auto& error) {
      if (result)
        reports.push_back((result->isFinal ? "final " : "partial ") + result->formattedString);
      if (error) reports.push_back("error " + error->localizedDescription);
    });
  }
  void fromLocal(std::optional<RecognitionResult> result,
                 std::optional<RecognitionError> error = {}) {
    local->tasks[0]->handler(result, error);
  }
  void fromService(std::optional<RecognitionResult> result,
                   std::optional<RecognitionError> error = {}) {
    service->tasks[0]->handler(result, error);
  }

  std::shared_ptr<Fake::Recognizer> local = std::make_shared<Fake::Recognizer>();
  std::shared_ptr<Fake::Recognizer> service = std::make_shared<Fake::Recognizer>();
  CombinedSpeechRecognizer combined{local, service};
  std::shared_ptr<BufferedRecognitionRequest> request =
      std::make_shared<BufferedRecognitionRequest>();
  std::shared_ptr<RecognitionTask> task;
  std::vector<std::string> reports;
};

TEST_F(CombinedRecognitionTest, BothHearEveryBufferAndTheServiceGivesTheFinalText) {
  auto buffer = std::make_shared<AudioBuffer>(AudioBuffer{{48000, 1}, 2, {{0.1f, 0.2f}}});
  request->append(buffer);
  request->endAudio();
  for (const auto& recognizer : {local, service}) {
    auto& heard = dynamic_cast<BufferedRecognitionRequest&>(*recognizer->requests[0]);
    EXPECT_TRUE(heard.addsPunctuation());
    const auto audio = heard.take();
    EXPECT_THAT(audio.buffers, ElementsAre(buffer));
    EXPECT_TRUE(audio.ended);
  }
  service->tasks[0]->remoteWait = 9;
  EXPECT_EQ(task->remoteFinalResultWait(), 9);
  fromLocal(RecognitionResult{"hello wor", false});
  fromLocal(RecognitionResult{"Hello world.", true});
  fromService(RecognitionResult{"Hello, World!", true});
  fromService(std::nullopt, RecognitionError{10, "late"});
  EXPECT_THAT(reports,
              ElementsAre("partial hello wor", "partial Hello world.", "final Hello, World!"));
  EXPECT_EQ(task->remoteFinalResultWait(), std::nullopt);

  task->cancel();
  EXPECT_TRUE(local->tasks[0]->cancelled);
  EXPECT_TRUE(service->tasks[0]->cancelled);
}

TEST_F(CombinedRecognitionTest, AServiceFailureWaitsForTheLocalFinalTextSoItsWordsAreKept) {
  fromLocal(RecognitionResult{"hello", false});
  fromService(std::nullopt, RecognitionError{10, "HTTP 500"});
  EXPECT_THAT(reports, ElementsAre("partial hello"));
  fromLocal(std::nullopt, RecognitionError{3, "PocketSphinx could not start an utterance."});
  EXPECT_THAT(reports, ElementsAre("partial hello", "error HTTP 500"));
}

}  // namespace
}  // namespace vellotype
