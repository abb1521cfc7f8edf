// The speech engine as the program runs it: the real microphone adapter recording a private
// PulseAudio daemon's test microphone while synthesised speech plays into it, and the real
// recogniser with Debian's US English model.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "PulseServer.h"
#include "SinkPlayer.h"
#include "SynthesizedSpeech.h"
#include "TestMainQueue.h"
#include "platform/pulse/PulseAudioEngine.h"
#include "platform/sphinx/SphinxSpeechRecognition.h"
#include "speech/SpeechEngine.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using testing::PulseServer;
using testing::SinkPlayer;
using testing::SynthesizedSpeech;
using testing::TestMainQueue;

// flite's speech is recognised at a few percent of words wrong, but a fresh decoder's first
// sentence on a busy machine can lose two words of seven: a third still fails any wrong
// language, silence or lost audio, which get nearly every word wrong.
constexpr double kMaxWordErrorRate = 0.34;
constexpr auto kFinalWait = 30s;  // decoding is slower than real time on a loaded machine

class SpeechEngineRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server_.error().empty()) GTEST_SKIP() << "no PulseAudio daemon: " << server_.error();
    setenv("PULSE_SERVER", server_.address().c_str(), 1);
    player_.emplace(server_.address(), PulseServer::kMicFeed);
    ASSERT_TRUE(player_->error().empty()) << player_->error();
    std::filesystem::create_directories(noUserModels_);
    audio_.emplace();
    recognition_.emplace(queue_, noUserModels_);
    engine_ = std::make_shared<SpeechEngine>(*audio_, *recognition_, queue_, "en-US");
    engine_->onPartialResult = [this](const std::string& text) { partials_.push_back(text); };
    engine_->onFinalResult = [this](const std::string& text) { finals_.push_back(text); };
    engine_->onError = [this](const std::string& text) { errors_.push_back(text); };
    engine_->onAudioLevel = [this](float level) { loudest_ = std::max(loudest_, level); };
  }

  void TearDown() override {
    engine_.reset();
    recognition_.reset();
    audio_.reset();
    std::filesystem::remove_all(noUserModels_);
  }

  std::vector<float> say(const std::string& sentence) {
    auto samples = speech_.say(sentence);
    EXPECT_FALSE(samples.empty()) << speech_.error();
    return samples;
  }

  // Holds the key while the samples play, then releases it.
  void record(const std::vector<float>& samples) {
    engine_->startRecording();
    ASSERT_TRUE(player_->write(samples) && player_->drain()) << player_->error();
    engine_->stopRecording();
  }

  bool awaitFinal(std::size_t count = 1) {
    return queue_.runUntil([&] { return finals_.size() >= count; }, kFinalWait);
  }

  PulseServer server_;
  std::optional<SinkPlayer> player_;
  SynthesizedSpeech speech_;
  std::filesystem::path noUserModels_ =
      std::filesystem::temp_directory_path() / ("vellotype-models-" + std::to_string(getpid()));
  TestMainQueue queue_;
  std::optional<PulseAudioEngine> audio_;
  std::optional<SphinxSpeechRecognition> recognition_;
  std::shared_ptr<SpeechEngine> engine_;
  std::vector<std::string> partials_, finals_, errors_;
  float loudest_ = 0;
};

TEST_F(SpeechEngineRecordingTest, ASpokenSentenceBecomesItsTextWithPartialsAndLevelsOnTheWay) {
  const std::string sentence = "she opened the window and looked outside";
  record(say(sentence));
  ASSERT_TRUE(awaitFinal()) << "no final result";
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_LE(SynthesizedSpeech::wordErrorRate(sentence, finals_[0]), kMaxWordErrorRate)
      << finals_[0];
  EXPECT_FALSE(partials_.empty()) << "partial results come before the final one";
  EXPECT_GT(loudest_, 0.5f) << "speech moves the level";
}

TEST_F(SpeechEngineRecordingTest, SilenceGivesAnEmptyTranscript) {
  record(SynthesizedSpeech::silence(1.5));
  ASSERT_TRUE(awaitFinal());
  EXPECT_EQ(finals_[0], "");
  EXPECT_LT(loudest_, 0.1f);
}

TEST_F(SpeechEngineRecordingTest, ACancelledRecordingSaysNothingAndTheNextOneWorks) {
  engine_->startRecording();
  ASSERT_TRUE(player_->write(say("the quick brown fox")) && player_->drain());
  engine_->cancelRecording();
  const std::string sentence = "we need more time to finish the project";
  record(say(sentence));
  ASSERT_TRUE(awaitFinal());
  queue_.runUntil([] { return false; }, 300ms);  // anything late from the first would show now
  ASSERT_EQ(finals_.size(), 1u);
  EXPECT_LE(SynthesizedSpeech::wordErrorRate(sentence, finals_[0]), kMaxWordErrorRate)
      << finals_[0];
  for (const auto& text : partials_) {
    EXPECT_EQ(text.find("fox"), std::string::npos) << "a partial of the cancelled recording";
  }
}

TEST_F(SpeechEngineRecordingTest, WithoutASoundServerStartingFailsWithTheServersReason) {
  server_.stop();
  engine_->startRecording();
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].rfind("Audio engine failed: ", 0), 0u) << errors_[0];
}

}  // namespace
}  // namespace vellotype
