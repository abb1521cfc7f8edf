// The PocketSphinx adapters with Debian's en-US model on flite's speech. One process for all
// tests, so the model is loaded once for most of them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "SynthesizedSpeech.h"
#include "TestMainQueue.h"
#include "platform/recognition/sphinx/SphinxModelFinder.h"
#include "platform/recognition/sphinx/SphinxRecognizer.h"
#include "platform/recognition/sphinx/SphinxSpeechRecognition.h"

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

// Recognised without error both by a fresh decoder and by one that has heard other utterances
// (the library adapts to the voice; many flite sentences lose a word or two on the first one).
const std::vector<std::string> kSentences = {
    "she opened the window and looked outside",
    "we need more time to finish the project",
    "i think the weather is nice today",
};

bool haveModel() {
  return SphinxModelFinder::inFolder(SphinxModelFinder::debianModels().at("en-US")).has_value();
}

// What one task delivered, on the test's thread, which runs the main queue.
struct Deliveries {
  std::vector<RecognitionResult> partials, finals;
  std::vector<RecognitionError> errors;
  int finishedAs = -1;  // the how-many-th task to finish, of all the test made
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
    if (!haveModel()) return;
    speech_ = std::make_unique<SynthesizedSpeech>();
    for (const auto& sentence : kSentences) spoken_.push_back(speech_->say(sentence));
    queue_ = std::make_unique<TestMainQueue>();
    recognition_ =
        std::make_unique<SphinxSpeechRecognition>(*queue_, speech_->directory() / "models");
    english_ = recognition_->recognizer("en-US");
  }
  static void TearDownTestSuite() {
    english_.reset();
    recognition_.reset();
    queue_.reset();
    speech_.reset();
  }
  void SetUp() override {
    if (!haveModel()) GTEST_SKIP() << "Debian's pocketsphinx-en-us model is not installed";
    if (!speech_->error().empty()) GTEST_SKIP() << "no synthesised speech: " << speech_->error();
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
          if (deliveries->done() && deliveries->finishedAs < 0)
            deliveries->finishedAs = finished_++;
        });
    return utterance;
  }
  static bool decoded(const Utterance& utterance) {
    return queue_->runUntil([&] { return utterance.deliveries->done(); }, kDecoded);
  }
  static double errorRate(const Utterance& utterance, std::size_t sentence) {
    return SynthesizedSpeech::wordErrorRate(kSentences[sentence], utterance.finalText());
  }
  // Two tasks on a recogniser whose model failed to load: each gets one error, naming the locale
  // and `why`, and nothing else.
  static void expectEachTaskFails(SpeechRecognizer& recognizer, const std::string& locale,
                                  const std::string& why) {
    std::vector<Utterance> utterances{start(true, true, recognizer), start(true, true, recognizer)};
    utterances[0].say(spoken_[0]);
    for (const auto& utterance : utterances) {
      ASSERT_TRUE(decoded(utterance));
      ASSERT_EQ(utterance.deliveries->errors.size(), 1u);
      EXPECT_EQ(utterance.deliveries->count(), 1u);
      const auto& error = utterance.deliveries->errors[0];
      EXPECT_EQ(error.code, SphinxRecognizer::kModelNotLoadedError);
      EXPECT_NE(error.localizedDescription.find(locale), std::string::npos);
      EXPECT_NE(error.localizedDescription.find(why), std::string::npos)
          << error.localizedDescription;
    }
    EXPECT_FALSE(recognizer.isAvailable());
  }

  static inline std::unique_ptr<SynthesizedSpeech> speech_;
  static inline std::vector<std::vector<float>> spoken_;
  static inline std::unique_ptr<TestMainQueue> queue_;
  static inline std::unique_ptr<SphinxSpeechRecognition> recognition_;
  static inline std::shared_ptr<SpeechRecognizer> english_;
  static inline int finished_ = 0;
};

// Every task is made before the first one is decoded: they are served in order, one final each,
// and silence gives an empty one.
TEST_F(SphinxRecognitionTest, TranscribesSentencesInOrderWithFewWordErrors) {
  std::vector<Utterance> utterances;
  for (std::size_t i = 0; i <= kSentences.size(); ++i) utterances.push_back(start(false, true));
  for (std::size_t i = 0; i < kSentences.size(); ++i) utterances[i].say(spoken_[i]);
  utterances.back().say(SynthesizedSpeech::silence(1.5));
  for (std::size_t i = 0; i < utterances.size(); ++i) {
    ASSERT_TRUE(decoded(utterances[i])) << i;
    if (i > 0) {
      EXPECT_EQ(utterances[i].deliveries->finishedAs, utterances[i - 1].deliveries->finishedAs + 1)
          << "task " << i << " did not finish right after " << i - 1;
    }
    EXPECT_EQ(utterances[i].deliveries->count(), 1u) << "partial results were not asked for";
    const auto text = utterances[i].finalText();
    const auto said = i < kSentences.size() ? kSentences[i] : "";
    EXPECT_LE(SynthesizedSpeech::wordErrorRate(said, text), kMaxWordErrorRate) << text;
    EXPECT_TRUE(!said.empty() || text.empty()) << "silence gave: " << text;
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

  const auto& partials = utterance.deliveries->partials;
  for (std::size_t i = 0; i < partials.size(); ++i) {
    const auto& text = partials[i].formattedString;
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text[0], 'I') << text;
    EXPECT_NE(text.back(), '.') << text;
    EXPECT_TRUE(i == 0 || text != partials[i - 1].formattedString) << "unchanged: " << text;
  }
  const auto final = utterance.finalText();
  EXPECT_EQ(final.substr(0, 8), "I think ") << final;
  EXPECT_EQ(final.back(), '.') << final;
  EXPECT_LE(errorRate(utterance, 2), kMaxWordErrorRate) << final;
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

// Loading takes a quarter of a second or more: audio that comes meanwhile must wait for it, and
// dropping a recogniser must not.
TEST_F(SphinxRecognitionTest, WhileTheModelLoadsAudioIsKeptAndDroppingTheRecognizerIsImmediate) {
  EXPECT_FALSE(recognition_->recognizer("../en-US"));
  auto dropped = recognition_->recognizer("en-US");
  auto loading = recognition_->recognizer("en-US");
  ASSERT_TRUE(dropped && loading);
  const auto before = std::chrono::steady_clock::now();
  dropped.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
  EXPECT_TRUE(loading->isAvailable());
  auto utterance = start(false, false, *loading);
  utterance.say(spoken_[1]);
  ASSERT_TRUE(decoded(utterance));
  EXPECT_LE(errorRate(utterance, 1), kMaxWordErrorRate) << utterance.finalText();
}

// An empty mdef is one of the models on which PocketSphinx calls exit() itself.
TEST_F(SphinxRecognitionTest, AModelThatFailsToLoadGivesEachTaskOneError) {
  const auto model = speech_->directory() / "broken" / "en-GB";
  fs::create_directories(model / "hmm");
  std::ofstream(model / "hmm" / "mdef");
  std::ofstream(model / "words.dict") << "hello HH AH L OW\n";
  std::ofstream(model / "words.lm.bin") << "not a language model";
  SphinxSpeechRecognition broken(*queue_, model.parent_path(), {});
  auto recognizer = broken.recognizer("en-GB");
  ASSERT_TRUE(recognizer);
  expectEachTaskFails(*recognizer, "en-GB", "mdef");
}

struct Damage {
  std::string name;
  std::string file;            // in the acoustic model
  std::string parameter = {};  // replaces the line of the same name in feat.params
  std::size_t keptBytes = std::string::npos;
  std::string why;
};

// Debian's model with one file of its acoustic model damaged. On each of these the library ends
// the process itself: exit() past its error callback, a failed assertion or a crash.
class SphinxDamagedModelTest : public SphinxRecognitionTest,
                               public ::testing::WithParamInterface<Damage> {
 protected:
  static std::string damaged(const fs::path& original, const Damage& damage) {
    std::ifstream in(original, std::ios::binary);
    std::string contents, line;
    if (damage.parameter.empty()) {
      contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      return contents.substr(0, damage.keptBytes);
    }
    const auto name = damage.parameter.substr(0, damage.parameter.find(' ') + 1);
    while (std::getline(in, line)) {
      if (line.rfind(name, 0) != 0) contents += line + "\n";
    }
    return contents + damage.parameter + "\n";
  }
};

TEST_P(SphinxDamagedModelTest, IsReportedAsNotLoadedAndTheProgramGoesOn) {
  const auto& damage = GetParam();
  const auto debian = *SphinxModelFinder::inFolder(SphinxModelFinder::debianModels().at("en-US"));
  const auto model = speech_->directory() / damage.name / "en-GB";
  fs::create_directories(model / "hmm");
  for (const auto& entry : fs::directory_iterator(debian.acousticModel)) {
    const auto target = model / "hmm" / entry.path().filename();
    if (entry.path().filename() == damage.file) {
      std::ofstream(target, std::ios::binary) << damaged(entry.path(), damage);
    } else {
      fs::create_symlink(entry.path(), target);
    }
  }
  fs::create_symlink(debian.dictionary, model / "words.dict");
  fs::create_symlink(debian.languageModel, model / "words.lm.bin");
  SphinxSpeechRecognition recognition(*queue_, model.parent_path(), {});
  auto recognizer = recognition.recognizer("en-GB");
  ASSERT_TRUE(recognizer);
  expectEachTaskFails(*recognizer, "en-GB", damage.why);
}

INSTANTIATE_TEST_SUITE_P(
    Acoustic, SphinxDamagedModelTest,
    ::testing::Values(
        // A failed allocation, on which the library prints to stderr and calls exit().
        Damage{.name = "NegativeFilterCount",
               .file = "feat.params",
               .parameter = "-nfilt -5",
               .why = "calloc(-5,2) failed"},
        // Refused cleanly, then freed as though it had a cepstrum table.
        Damage{
            .name = "NoCepstra", .file = "feat.params", .parameter = "-ncep 0", .why = "crashed"},
        // A frame shift of one sample.
        Damage{.name = "FrameRateOfSampleRate",
               .file = "feat.params",
               .parameter = "-samprate 100",
               .why = "Assertion"},
        // As an interrupted download leaves it.
        Damage{.name = "TruncatedMdef", .file = "mdef", .keptBytes = 4096, .why = "crashed"}),
    [](const auto& info) { return info.param.name; });

TEST(SphinxRecognitionExitDeathTest, ExitingWhileModelsStillLoadEndsTheProcessNormally) {
  if (!haveModel()) GTEST_SKIP() << "Debian's pocketsphinx-en-us model is not installed";
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
