// The transcription service as a recogniser, on a fake HTTP session and virtual time: when the
// audio is sent, live words, the final text, and what a failure leaves behind.

#include <gmock/gmock.h>

#include <cmath>

#include "fakes/FakeHttpSession.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakePreferences.h"
#include "fakes/TemporaryFolder.h"
#include "platform/PreferenceKeys.h"
#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/service/ServiceSpeechRecognizer.h"
#include "transcription/PcmWav.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ServiceRecognitionTaskTest : public ::testing::Test {
 protected:
  ServiceRecognitionTaskTest() {
    preferences.setString(prefs::kSpeechServiceBaseURL, "http://127.0.0.1:9/v1");
    request->setAddsPunctuation(true);
  }
  void start(bool liveWords) {
    recognizer = std::make_shared<ServiceSpeechRecognizer>(client, kept, queue, "en-US", liveWords);
    task = recognizer->recognitionTask(request, [this](const auto& result, const auto& error) {
      if (result)
        reports.push_back((result->isFinal ? "final " : "partial ") + result->formattedString);
      if (error) reports.push_back("error " + error->localizedDescription);
    });
  }
  // A 440 Hz tone at 48 kHz in tap-sized buffers, as the capture thread appends it.
  void speak(double seconds, float amplitude = 0.1f) {
    const auto frames = std::size_t(seconds * 48000);
    for (std::size_t at = 0; at < frames; at += 1024) {
      std::vector<float> samples(std::min<std::size_t>(1024, frames - at));
      for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = amplitude * std::sin(float(at + i) * 2 * 3.14159265f * 440 / 48000);
      }
      const auto length = std::uint32_t(samples.size());
      request->append(std::make_shared<AudioBuffer>(AudioBuffer{{48000, 1}, length, {samples}}));
    }
  }
  // The service's answer to the request sent `index`-th, handed over as the worker would.
  void answer(std::size_t index, long status, std::string body) {
    HttpOutcome outcome;
    outcome.body = std::move(body);
    outcome.statusCode = status;
    http.sent.at(index).handler(outcome);
    queue.advanceBy(0);
  }

  FakeMainQueue queue;
  FakeHttpSession http;
  FakePreferences preferences;
  TemporaryFolder folder;
  DiagnosticLog log{folder / "Vellotype.log"};
  KeptRecordings kept{folder / "recordings"};
  TranscriptionClient client{
      preferences, http, queue, log, {.baseSeconds = 5, .perAudioSecond = 2}};
  std::shared_ptr<BufferedRecognitionRequest> request =
      std::make_shared<BufferedRecognitionRequest>();
  std::shared_ptr<ServiceSpeechRecognizer> recognizer;
  std::shared_ptr<RecognitionTask> task;
  std::vector<std::string> reports;
};

TEST_F(ServiceRecognitionTaskTest, LiveWordsAreAskedForAtMostOnceASecondOneRequestAtATime) {
  start(true);
  speak(0.3);
  queue.advanceBy(1.0);
  EXPECT_THAT(http.sent, IsEmpty()) << "too little to be worth a request";
  speak(0.4);
  queue.advanceBy(1.0);
  ASSERT_EQ(http.sent.size(), 1u);
  speak(1.0);
  queue.advanceBy(1.0);
  EXPECT_EQ(http.sent.size(), 1u) << "the first is still unanswered";
  answer(0, 200, R"({"text":" hello there "})");
  EXPECT_THAT(reports, ElementsAre("partial Hello there"));
  queue.advanceBy(1.0);
  ASSERT_EQ(http.sent.size(), 2u);

  speak(0.3);
  request->endAudio();
  queue.advanceBy(0);
  EXPECT_TRUE(http.sent[1].task->cancelled) << "the whole recording goes out now instead";
  ASSERT_EQ(http.sent.size(), 3u);
  EXPECT_DOUBLE_EQ(http.sent[2].request.timeoutSeconds, 5 + 2 * 2.0);
  EXPECT_DOUBLE_EQ(*task->remoteFinalResultWait(), 5 + 2 * 2.0);
  answer(1, 200, R"({"text":"late live words"})");
  answer(2, 200, R"({"text":"Hello there, world"})");
  EXPECT_THAT(reports, ElementsAre("partial Hello there", "final Hello there, world."));
  EXPECT_EQ(task->remoteFinalResultWait(), std::nullopt);
  EXPECT_EQ(kept.newest(), std::nullopt);
}

TEST_F(ServiceRecognitionTaskTest, WithoutLiveWordsOnlyTheEndIsSentAndAFailureKeepsTheRecording) {
  start(false);
  speak(2.0);
  queue.advanceBy(3.0);
  EXPECT_THAT(http.sent, IsEmpty());
  request->endAudio();
  queue.advanceBy(0);
  ASSERT_EQ(http.sent.size(), 1u);
  answer(0, 500, R"({"error":{"message":"overloaded"}})");
  EXPECT_THAT(reports, ElementsAre("error The speech service failed (HTTP 500)"));
  const auto recording = kept.newest();
  ASSERT_TRUE(recording);
  EXPECT_EQ(recording->localeIdentifier, "en-US");
  EXPECT_NEAR(PcmWav::seconds(kept.read(*recording).value()), 2.0, 0.01);
}

TEST_F(ServiceRecognitionTaskTest, SilenceAndATapAreNotSentAndGiveNoWords) {
  for (const auto& [seconds, amplitude] : {std::pair{1.5, 0.002f}, {0.05, 0.5f}}) {
    request = std::make_shared<BufferedRecognitionRequest>();
    reports.clear();
    start(true);
    speak(seconds, amplitude);
    queue.advanceBy(1.0);
    request->endAudio();
    queue.advanceBy(0);
    EXPECT_THAT(http.sent, IsEmpty()) << seconds;
    EXPECT_THAT(reports, ElementsAre("final ")) << seconds;
  }
}

}  // namespace
}  // namespace vellotype
