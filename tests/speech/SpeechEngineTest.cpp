#include <gmock/gmock.h>

#include "fakes/CallLog.h"
#include "fakes/FakeAudioEngine.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakeSpeechRecognition.h"
#include "speech/SpeechEngine.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// `frames` samples alternating between plus and minus `rms` on the first channel.
std::shared_ptr<AudioBuffer> steady(float rms, std::uint32_t frames = 1024) {
  std::vector<float> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) samples[i] = i % 2 ? rms : -rms;
  return std::make_shared<AudioBuffer>(AudioBuffer{{48000, 2}, frames, {samples, {1, 1}}});
}

TEST(SpeechEngineLevel, MapsMinus50To0AndMinus10To1LinearlyInDecibels) {
  // No frames, silence, full scale (1.25 before the clamp), −40, −20 and −60 dB.
  // clang-format off
  for (const auto& [rms, frames, level] : {std::tuple{1.0f, 0u, 0.0f}, {0.0f, 1024u, 0.0f},
           {1.0f, 1024u, 1.0f}, {0.01f, 1024u, 0.25f}, {0.1f, 1024u, 0.75f}, {0.001f, 1024u, 0.0f}}) {
    // clang-format on
    EXPECT_NEAR(SpeechEngine::level(*steady(rms, frames)).value(), level, 1e-5f) << rms;
  }
  EXPECT_EQ(SpeechEngine::level(AudioBuffer{{48000, 1}, 1024, {}}), std::nullopt);
}

class SpeechEngineTest : public ::testing::Test {
 protected:
  SpeechEngineTest() {
    recognition.recognizers["en-US"] = english;
    engine = std::make_shared<SpeechEngine>(audio, recognition, queue, "en-US");
    engine->onPartialResult = [this](const std::string& t) { reports.push_back("partial " + t); };
    engine->onFinalResult = [this](const std::string& t) { reports.push_back("final " + t); };
    engine->onError = [this](const std::string& t) { reports.push_back("error " + t); };
    engine->onLocaleUnavailable = [this](const std::string& t) { reports.push_back(t); };
    engine->onAudioLevel = [this](float l) {
      reports.push_back(std::to_string(std::lround(l * 1e3)));
    };
  }

  FakeMainQueue queue;
  CallLog log{queue};
  FakeAudioEngine audio{log};
  FakeSpeechRecognition recognition;
  std::shared_ptr<FakeSpeechRecognition::Recognizer> english =
      std::make_shared<FakeSpeechRecognition::Recognizer>();
  std::shared_ptr<SpeechEngine> engine;
  std::vector<std::string> reports;
};

TEST_F(SpeechEngineTest, EveryBufferGoesToItsOwnRecordingsRequestAndLevelsToTheMainQueue) {
  engine->stopRecording();  // without a recording: stops all the same
  engine->startRecording();
  const auto firstTap = audio.tap;
  firstTap(steady(0.1f));
  firstTap(std::make_shared<AudioBuffer>());  // carries no float samples
  EXPECT_THAT(reports, IsEmpty());
  queue.runUntilIdle();
  EXPECT_THAT(reports, ElementsAre("750")) << "a level in thousandths";
  engine->stopRecording();
  EXPECT_THAT(log.calls(),
              ElementsAre("audio: stop", "audio: removeTap", "audio: installTap 1024",
                          "audio: prepare", "audio: start", "audio: stop", "audio: removeTap"));
  EXPECT_TRUE(recognition.requests[0]->ended);
  EXPECT_TRUE(recognition.requests[0]->reportsPartialResults) << "the capsule shows live words";
  EXPECT_TRUE(recognition.requests[0]->addsPunctuation);

  engine->startRecording();
  EXPECT_TRUE(english->tasks[0]->cancelled);
  firstTap(steady(0.1f));  // the last buffers of the first recording
  EXPECT_EQ(recognition.requests[0]->buffers.size(), 3u);
  EXPECT_THAT(recognition.requests[1]->buffers, IsEmpty());
}

TEST_F(SpeechEngineTest, ResultsArriveInOrderAndTheCancelledCodeIsDropped) {
  engine->startRecording();
  auto& handler = english->tasks[0]->handler;
  handler(RecognitionResult{"hello", false}, std::nullopt);
  handler(RecognitionResult{"Hello world.", true}, RecognitionError{1110, "No speech detected"});
  handler(std::nullopt, RecognitionError{SpeechEngine::kCancelledErrorCode, "Cancelled"});
  EXPECT_THAT(reports,
              ElementsAre("partial hello", "final Hello world.", "error No speech detected"));
  engine.reset();
  handler(RecognitionResult{"late", true}, std::nullopt);
  EXPECT_EQ(reports.size(), 3u) << "nothing reaches a destroyed engine";
}

TEST_F(SpeechEngineTest, WithoutARecogniserStartingFailsOnceAndEachAssignmentIsReported) {
  english->available = false;
  engine->startRecording();
  recognition.recognizers.clear();
  engine->setLocale("ko-KR");
  engine->setLocale("ko-KR");
  engine->startRecording();
  const std::string unsupported =
      "Speech recognition is not supported for ko-KR. To use it, set up a speech service under "
      "Language \u2192 Speech Service... (a hosted one, or a Whisper server on this computer), or "
      "install a speech model for it in ~/.local/share/Vellotype/models/. The README says how.";
  EXPECT_THAT(reports, ElementsAre("error Speech recognizer not available for en-US", unsupported,
                                   unsupported, "error Speech recognizer not available for ko-KR"));
  EXPECT_THAT(log.calls(), IsEmpty()) << "no audio";
}

TEST_F(SpeechEngineTest, ARecordingTheServiceStillWorksOnOutlivesTheNextAndReportsByNumber) {
  engine->onEarlierResult = [this](std::uint64_t n, const std::string& t, bool isFinal) {
    reports.push_back(std::to_string(n) + (isFinal ? " final " : " partial ") + t);
  };
  engine->onEarlierError = [this](std::uint64_t n, const std::string& t) {
    reports.push_back(std::to_string(n) + " error " + t);
  };
  engine->startRecording();
  engine->stopRecording();
  EXPECT_EQ(engine->remoteFinalResultWait(), std::nullopt);
  english->tasks[0]->remoteWait = 12.5;
  EXPECT_EQ(engine->remoteFinalResultWait(), 12.5);
  engine->startRecording();
  engine->stopRecording();
  english->tasks[1]->remoteWait = 3;
  engine->startRecording();
  EXPECT_EQ(engine->currentRecording(), 3u);
  EXPECT_FALSE(english->tasks[0]->cancelled);
  EXPECT_FALSE(english->tasks[1]->cancelled);
  english->tasks[2]->handler(RecognitionResult{"three", false}, std::nullopt);
  english->tasks[0]->handler(RecognitionResult{"one", false}, std::nullopt);
  english->tasks[0]->handler(RecognitionResult{"One.", true}, std::nullopt);
  english->tasks[1]->handler(std::nullopt, RecognitionError{10, "HTTP 500"});
  EXPECT_THAT(reports,
              ElementsAre("partial three", "1 partial one", "1 final One.", "2 error HTTP 500"));
  english->tasks[2]->remoteWait = 3;
  ASSERT_TRUE(audio.running);
  engine->cancelRecording();
  EXPECT_TRUE(english->tasks[2]->cancelled) << "abandoning it cancels even a service's task";
  EXPECT_FALSE(audio.running) << "nor may the microphone record on";
  EXPECT_EQ(audio.tap, nullptr);
}

TEST_F(SpeechEngineTest, FailedStartReportsTheReasonAndLeavesNoTap) {
  audio.startError = "Connection refused";
  engine->startRecording();
  EXPECT_THAT(reports, ElementsAre("error Audio engine failed: Connection refused"));
  EXPECT_EQ(audio.tap, nullptr);
}

TEST_F(SpeechEngineTest, PermissionsAskSpeechFirstThenTheMicrophoneAndAnswerOnTheMainQueue) {
  // clang-format off
  for (const auto& [status, microphone, answer] : {
           std::tuple{0, true, "0 Speech recognition permission not determined."},
           {1, true, "0 Speech recognition denied.\n"}, {2, true, "0 Speech recognition denied.\n"},
           {7, true, "0 Unknown speech recognition authorization status."},
           {3, false, "0 Microphone access denied.\n"}, {3, true, "1 "}}) {
    // clang-format on
    recognition.authorizationStatus = status;
    audio.accessGranted = microphone;
    log.clear();
    reports.clear();
    engine->requestPermissions([this](bool granted, std::optional<std::string> text) {
      reports.push_back(std::to_string(granted) + " " + text.value_or(""));
    });
    EXPECT_THAT(reports, IsEmpty()) << "never inside the call";
    queue.runUntilIdle();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_THAT(reports[0], ::testing::StartsWith(answer));
    EXPECT_EQ(log.count("audio: requestAccess"), status == 3 ? 1u : 0u);
  }
}

}  // namespace
}  // namespace vellotype
