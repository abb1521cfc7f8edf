#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "SynthesizedSpeech.h"
#include "TestMainQueue.h"
#include "platform/sphinx/SphinxModelFinder.h"
#include "platform/sphinx/SphinxRecognizer.h"
#include "platform/sphinx/SphinxSpeechRecognition.h"

namespace vellotype {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::SynthesizedSpeech;
using testing::TestMainQueue;

// One wrong word in seven; a wrong language or silence is near 100 %.
constexpr double kMaxWordErrorRate = 0.15;
// Far beyond what any utterance here takes to decode, so only a fault runs into it.
constexpr auto kDecoded = 15s;

// Recognised without error both by a decoder fresh from loading and by one that has heard other
// utterances: the library adapts to the voice across utterances, and many flite sentences lose a
// word or two on the first one.
const std::vector<std::string> kSentences = {
    "she opened the window and looked outside",
    "we need more time to finish the project",
    "i think the weather is nice today",
};

// What one task delivered. Filled on the test's thread, which runs the main queue.
struct Deliveries {
  std::vector<RecognitionResult> partials;
  std::vector<RecognitionResult> finals;
  std::vector<RecognitionError> errors;
  std::size_t count() const { return partials.size() + finals.size() + errors.size(); }
  bool done() const { return !finals.empty() || !errors.empty(); }
};

struct Utterance {
  std::shared_ptr<RecognitionRequest> request;
  std::shared_ptr<Deliveries> deliveries = std::make_shared<Deliveries>();
  std::shared_ptr<RecognitionTask> task;

  // As the capture thread does: from a thread of its own, one tap buffer after another.
  void capture(const std::vector<float>& samples) const {
    std::thread([&] {
      for (const auto& buffer : SynthesizedSpeech::buffers(samples)) request->append(buffer);
    }).join();
  }
  void say(const std::vector<float>& samples) const {
    capture(samples);
    request->endAudio();
  }
  // The text of the one final result; the test fails when there is not exactly one.
  std::string finalText() const {
    EXPECT_EQ(deliveries->finals.size(), 1u);
    return deliveries->finals.empty() ? "" : deliveries->finals[0].formattedString;
  }
};

class SphinxRecognitionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!SphinxModelFinder::inFolder(SphinxModelFinder::debianModels().at("en-US"))) {
      skipReason_ = "Debian's pocketsphinx-en-us model is not installed";
      return;
    }
    speech_ = std::make_unique<SynthesizedSpeech>();
    for (const auto& sentence : kSentences) {
      spoken_.push_back(speech_->say(sentence));
      if (spoken_.back().empty()) skipReason_ = "no synthesised speech: " + speech_->error();
    }
    queue_ = std::make_unique<TestMainQueue>();
    recognition_ =
        std::make_unique<SphinxSpeechRecognition>(*queue_, speech_->directory() / "models");
    english_ = recognition_->recognizer("en-US");
  }

  static void TearDownTestSuite() {
    english_.reset();
    recognition_.reset();
    queue_.reset();
    spoken_.clear();
    speech_.reset();
  }

  void SetUp() override {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
  }

  static Utterance start(bool partials, bool punctuation,
                         SpeechRecognizer& recognizer = *english_) {
    Utterance utterance;
    utterance.request = recognition_->makeRequest();
    utterance.request->setShouldReportPartialResults(partials);
    utterance.request->setAddsPunctuation(punctuation);
    utterance.task = recognizer.recognitionTask(
        utterance.request,
        [deliveries = utterance.deliveries](const auto& result, const auto& error) {
          if (error) deliveries->errors.push_back(*error);
          if (result)
            (result->isFinal ? deliveries->finals : deliveries->partials).push_back(*result);
        });
    return utterance;
  }

  static bool decoded(const Utterance& utterance) {
    return queue_->runUntil([&] { return utterance.deliveries->done(); }, kDecoded);
  }

  static double errorRate(const Utterance& utterance, std::size_t sentence) {
    return SynthesizedSpeech::wordErrorRate(kSentences[sentence], utterance.finalText());
  }

  static inline std::string skipReason_;
  static inline std::unique_ptr<SynthesizedSpeech> speech_;
  static inline std::vector<std::vector<float>> spoken_;
  static inline std::unique_ptr<TestMainQueue> queue_;
  static inline std::unique_ptr<SphinxSpeechRecognition> recognition_;
  static inline std::shared_ptr<SpeechRecognizer> english_;
};

// Every task is made before the first one is decoded: they are served in order, one final each.
TEST_F(SphinxRecognitionTest, TranscribesSentencesInOrderWithFewWordErrors) {
  std::vector<Utterance> utterances;
  for (std::size_t i = 0; i < kSentences.size(); ++i) utterances.push_back(start(false, false));
  for (std::size_t i = 0; i < kSentences.size(); ++i) utterances[i].say(spoken_[i]);
  for (std::size_t i = 0; i < kSentences.size(); ++i) {
    ASSERT_TRUE(decoded(utterances[i])) << kSentences[i];
    for (std::size_t j = i + 1; j < utterances.size(); ++j) {
      EXPECT_FALSE(utterances[j].deliveries->done()) << "task " << j << " finished before " << i;
    }
    EXPECT_LE(errorRate(utterances[i], i), kMaxWordErrorRate) << utterances[i].finalText();
    EXPECT_EQ(utterances[i].deliveries->count(), 1u) << "partial results were not asked for";
  }
}

// The second half is held back until a partial result has come, so it cannot come late.
TEST_F(SphinxRecognitionTest, PartialResultsComeWhileSpeakingThenOneFinalWithPunctuation) {
  auto utterance = start(true, true);
  const auto& samples = spoken_[2];
  const auto half = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
  utterance.capture({samples.begin(), half});
  ASSERT_TRUE(queue_->runUntil([&] { return !utterance.deliveries->partials.empty(); }, kDecoded));
  utterance.say({half, samples.end()});
  ASSERT_TRUE(decoded(utterance));

  const auto& deliveries = *utterance.deliveries;
  for (std::size_t i = 0; i < deliveries.partials.size(); ++i) {
    const auto& text = deliveries.partials[i].formattedString;
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text[0], 'I') << text;
    EXPECT_NE(text.back(), '.') << text;
    if (i > 0) {
      EXPECT_NE(text, deliveries.partials[i - 1].formattedString) << "unchanged";
    }
  }
  const auto final = utterance.finalText();
  EXPECT_EQ(final.substr(0, 8), "I think ") << final;
  EXPECT_EQ(final.back(), '.') << final;
  EXPECT_LE(errorRate(utterance, 2), kMaxWordErrorRate) << final;
}

TEST_F(SphinxRecognitionTest, SilenceGivesOneEmptyFinalResult) {
  auto utterance = start(true, true);
  utterance.say(SynthesizedSpeech::silence(1.5));
  ASSERT_TRUE(decoded(utterance));
  EXPECT_EQ(utterance.finalText(), "");
  EXPECT_EQ(utterance.deliveries->count(), 1u);
}

// Two minutes of audio wait for the first task; if cancel() left the worker on them, the second
// task would wait for all of them (15 s or more) and for an end that never comes.
TEST_F(SphinxRecognitionTest, ACancelledTaskDeliversNothingMoreAndTheNextOneIsServedAtOnce) {
  auto cancelled = start(true, false);
  std::vector<float> backlog;
  while (SynthesizedSpeech::seconds(backlog) < 120) {
    backlog.insert(backlog.end(), spoken_[0].begin(), spoken_[0].end());
  }
  cancelled.capture(backlog);
  ASSERT_TRUE(queue_->runUntil([&] { return !cancelled.deliveries->partials.empty(); }, kDecoded));
  cancelled.task->cancel();
  const auto deliveredBeforeCancel = cancelled.deliveries->count();
  cancelled.say(spoken_[0]);

  auto next = start(false, false);
  next.say(spoken_[1]);
  ASSERT_TRUE(queue_->runUntil([&] { return next.deliveries->done(); }, 8s));
  EXPECT_LE(errorRate(next, 1), kMaxWordErrorRate) << next.finalText();
  // Tasks are served in order, so anything the cancelled one still had would have come by now.
  EXPECT_EQ(cancelled.deliveries->count(), deliveredBeforeCancel);
}

TEST_F(SphinxRecognitionTest, AudioAppendedWhileTheModelLoadsIsRecognised) {
  auto loading = recognition_->recognizer("en-US");
  ASSERT_TRUE(loading);
  EXPECT_TRUE(loading->isAvailable());
  auto utterance = start(false, false, *loading);
  utterance.say(spoken_[1]);
  ASSERT_TRUE(decoded(utterance));
  EXPECT_LE(errorRate(utterance, 1), kMaxWordErrorRate) << utterance.finalText();
}

// The model takes a quarter of a second or more to load; dropping the recogniser must not wait.
TEST_F(SphinxRecognitionTest, DroppingARecognizerWhileItsModelLoadsReturnsAtOnce) {
  auto loading = recognition_->recognizer("en-US");
  ASSERT_TRUE(loading);
  const auto before = std::chrono::steady_clock::now();
  loading.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
}

TEST_F(SphinxRecognitionTest, OnlyLocalesWithAnInstalledModelHaveARecognizer) {
  EXPECT_TRUE(english_);
  for (const char* locale : {"de-DE", "fr-FR", "en", "en-us", "../en-US"}) {
    EXPECT_FALSE(recognition_->recognizer(locale)) << locale;
  }
}

// An empty mdef is one of the models on which PocketSphinx calls exit() itself.
TEST_F(SphinxRecognitionTest, AModelThatFailsToLoadGivesEachTaskOneError) {
  const auto root = speech_->directory() / "broken";
  const auto debian = SphinxModelFinder::debianModels().at("en-US");
  fs::create_directories(root / "en-GB" / "hmm");
  std::ofstream(root / "en-GB" / "hmm" / "mdef");
  std::ofstream(root / "en-GB" / "words.dict") << "hello HH AH L OW\n";
  std::ofstream(root / "en-GB" / "words.lm.bin") << "not a language model";
  fs::create_directories(root / "en-AU");
  fs::create_directory_symlink(debian / "en-us", root / "en-AU" / "hmm");
  fs::copy_file(root / "en-GB" / "words.dict", root / "en-AU" / "words.dict");
  fs::copy_file(root / "en-GB" / "words.lm.bin", root / "en-AU" / "words.lm.bin");
  SphinxSpeechRecognition broken(*queue_, root, {});

  for (const auto& [locale, culprit] : {std::pair{"en-GB", "mdef"}, {"en-AU", "words.lm.bin"}}) {
    auto recognizer = broken.recognizer(locale);
    ASSERT_TRUE(recognizer) << locale;
    std::vector<Utterance> utterances{start(true, true, *recognizer),
                                      start(true, true, *recognizer)};
    utterances[0].say(spoken_[0]);
    for (const auto& utterance : utterances) {
      ASSERT_TRUE(decoded(utterance)) << locale;
      ASSERT_EQ(utterance.deliveries->errors.size(), 1u) << locale;
      EXPECT_EQ(utterance.deliveries->count(), 1u) << locale;
      const auto& error = utterance.deliveries->errors[0];
      EXPECT_EQ(error.code, SphinxRecognizer::kModelNotLoadedError);
      EXPECT_NE(error.localizedDescription.find(locale), std::string::npos);
      EXPECT_NE(error.localizedDescription.find(culprit), std::string::npos)
          << error.localizedDescription;
    }
    EXPECT_FALSE(recognizer->isAvailable()) << locale;
  }
}

TEST(SphinxRecognitionExitDeathTest, ExitingWhileModelsStillLoadEndsTheProcessNormally) {
  if (!SphinxModelFinder::inFolder(SphinxModelFinder::debianModels().at("en-US"))) {
    GTEST_SKIP() << "Debian's pocketsphinx-en-us model is not installed";
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TestMainQueue queue;
        SphinxSpeechRecognition recognition(queue, {});
        auto kept = recognition.recognizer("en-US");
        { auto dropped = recognition.recognizer("en-US"); }
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vellotype
