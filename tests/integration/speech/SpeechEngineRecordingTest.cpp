// The speech engine as the program runs it: the real microphone adapter recording a private
// PulseAudio daemon's test microphone while synthesised speech plays into it, and the real
// recogniser with Debian's US English model.

#include <gtest/gtest.h>

#include <cstdlib>

#include "PulseServer.h"
#include "SinkPlayer.h"
#include "SynthesizedSpeech.h"
#include "TestMainQueue.h"
#include "platform/pulse/PulseAudioEngine.h"
#include "platform/recognition/sphinx/SphinxSpeechRecognition.h"
#include "speech/SpeechEngine.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using testing::SynthesizedSpeech;

// flite's speech is recognised at a few percent of words wrong, but a fresh decoder's first
// sentence on a busy machine can lose two words of seven: a third still fails any wrong
// language, silence or lost audio, which get nearly every word wrong.
constexpr double kMaxWordErrorRate = 0.34;

TEST(SpeechEngineRecording, ACancelledRecordingSaysNothingAndTheNextBecomesItsText) {
  testing::PulseServer server;
  if (!server.error().empty()) GTEST_SKIP() << "no PulseAudio daemon: " << server.error();
  setenv("PULSE_SERVER", server.address().c_str(), 1);
  testing::SinkPlayer microphone(server.address(), testing::PulseServer::kMicFeed);
  ASSERT_EQ(microphone.error(), "");
  SynthesizedSpeech speech;
  const std::string sentence = "she opened the window and looked outside";
  const auto cancelled = speech.say("the quick brown fox"), kept = speech.say(sentence);
  ASSERT_FALSE(kept.empty()) << speech.error();

  testing::TestMainQueue queue;
  PulseAudioEngine audio;
  SphinxSpeechRecognition recognition(queue, speech.directory() / "no-user-models");
  auto engine = std::make_shared<SpeechEngine>(audio, recognition, queue, "en-US");
  std::vector<std::string> partials, finals, errors;
  float loudest = 0;
  engine->onPartialResult = [&](const std::string& text) { partials.push_back(text); };
  engine->onFinalResult = [&](const std::string& text) { finals.push_back(text); };
  engine->onError = [&](const std::string& text) { errors.push_back(text); };
  engine->onAudioLevel = [&](float level) { loudest = std::max(loudest, level); };

  // The key held while the samples play, then let go; nothing runs the main queue meanwhile, so
  // every report of the cancelled recording is still to be delivered after it.
  engine->startRecording();
  ASSERT_TRUE(microphone.write(cancelled) && microphone.drain()) << microphone.error();
  engine->cancelRecording();
  engine->startRecording();
  ASSERT_TRUE(microphone.write(kept) && microphone.drain()) << microphone.error();
  engine->stopRecording();

  // Decoding is slower than real time on a loaded machine.
  ASSERT_TRUE(queue.runUntil([&] { return !finals.empty(); }, 30s)) << "no final result";
  queue.runUntil([] { return false; }, 300ms);  // anything late from the first would show now
  EXPECT_TRUE(errors.empty()) << errors.front();
  ASSERT_EQ(finals.size(), 1u);
  EXPECT_LE(SynthesizedSpeech::wordErrorRate(sentence, finals[0]), kMaxWordErrorRate) << finals[0];
  EXPECT_FALSE(partials.empty()) << "partial results come before the final one";
  for (const auto& text : partials) EXPECT_EQ(text.find("fox"), std::string::npos) << text;
  EXPECT_GT(loudest, 0.5f) << "speech moves the level";
}

}  // namespace
}  // namespace vellotype
