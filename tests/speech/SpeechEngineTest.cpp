#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "fakes/CallLog.h"
#include "fakes/FakeAudioEngine.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakeSpeechRecognition.h"
#include "speech/SpeechEngine.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::shared_ptr<const AudioBuffer> buffer(std::vector<std::vector<float>> channels) {
  auto result = std::make_shared<AudioBuffer>();
  result->format = {48000, std::uint32_t(channels.size())};
  result->frameLength = channels.empty() ? 0 : std::uint32_t(channels[0].size());
  result->floatChannelData = std::move(channels);
  return result;
}

// A steady signal whose RMS is `rms`: a square wave of that amplitude.
std::shared_ptr<const AudioBuffer> steady(float rms, std::size_t frames = 1024) {
  std::vector<float> samples(frames);
  for (std::size_t i = 0; i < frames; ++i) samples[i] = i % 2 ? rms : -rms;
  return buffer({samples});
}

TEST(SpeechEngineLevel, MapsMinus50To0AndMinus10To1LinearlyInDecibels) {
  const struct {
    std::shared_ptr<const AudioBuffer> buffer;
    float level;
  } cases[] = {
      {buffer({{}}), 0},                           // no frames
      {buffer({std::vector<float>(1024, 0)}), 0},  // digital silence
      {steady(1.0f), 1.0f},                        // full scale is 0 dB: 1.25 before the clamp
      {steady(0.01f), 0.25f},                      // −40 dB
      {steady(0.1f), 0.75f},                       // −20 dB
      {steady(std::pow(10.0f, -1.5f)), 0.5f},      // −30 dB
      {steady(0.001f), 0},                         // −60 dB
  };
  for (const auto& c : cases) {
    const auto level = SpeechEngine::level(*c.buffer);
    ASSERT_TRUE(level);
    EXPECT_NEAR(*level, c.level, 1e-5f);
  }
  // Only the first channel counts; a buffer without samples has no level.
  EXPECT_EQ(SpeechEngine::level(*buffer({std::vector<float>(8, 0), std::vector<float>(8, 1)})),
            0.0f);
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
    engine->onLocaleUnavailable = [this](const std::string& t) {
      reports.push_back("unavailable " + t);
    };
    engine->onAudioLevel = [this](float level) { levels.push_back(level); };
  }

  FakeSpeechRecognition::Task& task(std::size_t i) { return *english->tasks.at(i); }
  FakeSpeechRecognition::Request& request(std::size_t i) { return *recognition.requests.at(i); }

  FakeMainQueue queue;
  CallLog log{queue};
  FakeAudioEngine audio{log};
  FakeSpeechRecognition recognition{log};
  std::shared_ptr<FakeSpeechRecognition::Recognizer> english =
      std::make_shared<FakeSpeechRecognition::Recognizer>();
  std::shared_ptr<SpeechEngine> engine;
  std::vector<std::string> reports;
  std::vector<float> levels;
};

TEST_F(SpeechEngineTest, RecordingStreamsTheMicrophoneIntoARequestAndReportsLevelsLater) {
  const auto mark = log.size();
  engine->startRecording();
  EXPECT_THAT(log.callsSince(mark),
              ElementsAre("audio: installTap 1024", "audio: prepare", "audio: start"));
  EXPECT_TRUE(request(0).partialResults && request(0).punctuation);
  EXPECT_EQ(task(0).request, recognition.requests[0]);

  audio.capture(steady(0.1f));
  audio.capture(std::make_shared<AudioBuffer>());  // carries no float samples
  EXPECT_EQ(request(0).buffers.size(), 2u) << "every buffer is appended, even one without samples";
  EXPECT_THAT(levels, IsEmpty()) << "levels are handed to the main queue";
  queue.runUntilIdle();
  ASSERT_EQ(levels.size(), 1u);
  EXPECT_NEAR(levels[0], 0.75f, 1e-5f);

  const auto stopMark = log.size();
  engine->stopRecording();
  EXPECT_THAT(log.callsSince(stopMark), ElementsAre("audio: stop", "audio: removeTap"));
  EXPECT_TRUE(request(0).ended);
  EXPECT_FALSE(task(0).cancelled) << "the final result is still to come";
}

TEST_F(SpeechEngineTest, ANewRecordingCancelsTheOldTaskWhileTheOldTapFeedsItsOwnRequest) {
  engine->startRecording();
  const auto firstTap = audio.tap;
  engine->stopRecording();
  engine->startRecording();
  EXPECT_TRUE(task(0).cancelled);
  firstTap(steady(0.1f));
  EXPECT_EQ(request(0).buffers.size(), 1u);
  EXPECT_THAT(request(1).buffers, IsEmpty());
}

TEST_F(SpeechEngineTest, ResultsArriveInOrderAndTheCancelledCodeIsDropped) {
  engine->startRecording();
  auto& handler = task(0).handler;
  handler(RecognitionResult{"hello", false}, std::nullopt);
  handler(RecognitionResult{"Hello world.", true}, RecognitionError{1110, "No speech detected"});
  handler(std::nullopt, RecognitionError{SpeechEngine::kCancelledErrorCode, "Cancelled"});
  EXPECT_THAT(reports,
              ElementsAre("partial hello", "final Hello world.", "error No speech detected"));

  engine.reset();
  handler(RecognitionResult{"late", true}, std::nullopt);
  EXPECT_EQ(reports.size(), 3u) << "nothing reaches a destroyed engine";
}

TEST_F(SpeechEngineTest, WithoutARecogniserStartingFailsOnceAndTouchesNoAudio) {
  english->available = false;
  engine->startRecording();
  recognition.recognizers.clear();
  engine->setLocale("ko-KR");
  engine->startRecording();
  EXPECT_THAT(reports, ElementsAre("error Speech recognizer not available for en-US",
                                   "unavailable Speech recognition is not supported for ko-KR. "
                                   "Install a speech model for it in "
                                   "~/.local/share/Vellotype/models/ (the README says how).",
                                   "error Speech recognizer not available for ko-KR"));
  EXPECT_EQ(log.count("audio: start"), 0u);
  EXPECT_THAT(recognition.requests, IsEmpty());
}

TEST_F(SpeechEngineTest, LocalesWithoutRecogniserAreReportedOnAssignmentOnly) {
  auto quiet = std::make_shared<SpeechEngine>(audio, recognition, queue, "zh-CN");
  quiet->onLocaleUnavailable = [this](const std::string& t) { reports.push_back(t); };
  EXPECT_THAT(reports, IsEmpty()) << "creating the engine reports nothing";
  quiet->setLocale("zh-CN");
  quiet->setLocale("zh-CN");
  quiet->setLocale("en-US");
  EXPECT_EQ(reports.size(), 2u);
  EXPECT_THAT(reports[0], ::testing::HasSubstr("not supported for zh-CN."));
}

TEST_F(SpeechEngineTest, FailedStartReportsTheReasonAndLeavesNoTap) {
  audio.startError = "Connection refused";
  engine->startRecording();
  EXPECT_THAT(reports, ElementsAre("error Audio engine failed: Connection refused"));
  EXPECT_EQ(audio.tap, nullptr);
  EXPECT_EQ(log.count("audio: stop"), 0u) << "an engine that never ran is not stopped";

  audio.startError.reset();
  engine->startRecording();
  EXPECT_NE(audio.tap, nullptr);
  EXPECT_FALSE(task(0).cancelled) << "the failed start dropped its task without cancelling it";
}

TEST_F(SpeechEngineTest, StopWithoutARecordingAndCancelDuringOne) {
  const auto mark = log.size();
  engine->stopRecording();
  EXPECT_THAT(log.callsSince(mark), ElementsAre("audio: stop", "audio: removeTap"));

  engine->startRecording();
  engine->cancelRecording();
  EXPECT_TRUE(task(0).cancelled);
  EXPECT_FALSE(audio.running);
  EXPECT_EQ(audio.tap, nullptr);
  engine->stopRecording();
  EXPECT_FALSE(request(0).ended) << "the cancelled request was let go";
}

TEST(SpeechEnginePermissions, SpeechFirstThenTheMicrophoneAnsweredOnTheMainQueue) {
  const struct {
    int status;
    bool microphone;
    bool granted;
    const char* message;
  } cases[] = {
      {0, true, false, "Speech recognition permission not determined."},
      {1, true, false, "Speech recognition denied.\n"},
      {2, true, false, "Speech recognition denied.\n"},
      {7, true, false, "Unknown speech recognition authorization status."},
      {3, false, false, "Microphone access denied.\n"},
      {3, true, true, ""},
  };
  for (const auto& c : cases) {
    FakeMainQueue queue;
    CallLog log{queue};
    FakeAudioEngine audio{log};
    FakeSpeechRecognition recognition{log};
    recognition.authorizationStatus = c.status;
    audio.accessGranted = c.microphone;
    SpeechEngine engine(audio, recognition, queue, "en-US");
    int calls = 0;
    bool granted = false;
    std::optional<std::string> message;
    engine.requestPermissions([&](bool g, std::optional<std::string> m) {
      ++calls;
      granted = g;
      message = std::move(m);
    });
    EXPECT_EQ(calls, 0) << "never inside the call";
    queue.runUntilIdle();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(granted, c.granted) << c.status;
    EXPECT_EQ(message.value_or("").rfind(c.message, 0), 0u) << message.value_or("");
    EXPECT_EQ(log.count("audio: requestAccess"), c.status == 3 ? 1u : 0u);
  }
}

}  // namespace
}  // namespace vellotype
