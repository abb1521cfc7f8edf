// How many words the recogniser gets wrong with Debian's en-US model, fed as the program feeds
// it: 48 kHz mono float microphone buffers, converted to 16 kHz inside the recogniser, formatted
// as the program formats them. Two sets:
//   (a) synthetic: the sentences of bench/sentences.txt spoken by flite's rms voice, which the
//       tests and measurements use;
//   (b) human: the recordings that Debian's pocketsphinx-testdata ships with reference
//       transcripts (five read passages of a LibriVox audiobook, five spoken playing cards),
//       converted by sox from 16 kHz 16-bit to 48 kHz float.
// Word errors are substitutions, insertions and deletions against the reference, ignoring case
// and punctuation, summed over a set and divided by its reference words.
//
// PocketSphinx carries its estimate of the channel (cepstral mean) from one utterance to the next,
// and the program keeps one decoder while it runs, so each set is decoded twice: as one session
// on a decoder of its own, in order (what a user gets once a dictation or two has passed), and
// with a fresh decoder for every utterance (what the first dictation after start-up gets).
//
// Needs flite, sox and pocketsphinx-testdata.
// Usage: vellotype_word_error_rate_bench [sentences file] [pocketsphinx test data folder]

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "SynthesizedSpeech.h"
#include "TestMainQueue.h"
#include "platform/recognition/sphinx/SphinxSpeechRecognition.h"

namespace vellotype {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::SynthesizedSpeech;
using testing::TestMainQueue;

constexpr const char* kTestData = "/usr/share/pocketsphinx/test/data";
// The folders whose recordings come with a transcription file.
constexpr const char* kHumanSets[] = {"librivox", "cards"};

struct Sample {
  std::string name;
  std::string reference;
  std::vector<float> samples;
};

struct Tally {
  double errors = 0;
  double words = 0;
};

std::size_t wordCount(const std::string& text) {
  std::istringstream stream(text);
  std::size_t count = 0;
  for (std::string word; stream >> word;) ++count;
  return count;
}

std::vector<float> readFloats(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<float> samples(fs::file_size(path) / sizeof(float));
  in.read(reinterpret_cast<char*>(samples.data()),
          static_cast<std::streamsize>(samples.size() * sizeof(float)));
  return samples;
}

// The recording at the microphone's rate and format, or nothing when sox fails.
std::vector<float> asMicrophone(const fs::path& wav, const fs::path& scratch) {
  const auto raw = scratch / (wav.stem().string() + ".f32");
  // -V1: resampling the full-scale card recordings clips a handful of samples, too few to matter.
  const auto command = "sox -V1 '" + wav.string() + "' -t raw -r " +
                       std::to_string(static_cast<int>(SynthesizedSpeech::kSampleRate)) +
                       " -c 1 -e floating-point -b 32 -L '" + raw.string() + "'";
  if (std::system(command.c_str()) != 0) return {};
  return readFloats(raw);
}

// Lines "<s> words </s> (id)" of a transcription file, each with <folder>/<id>.wav.
std::vector<Sample> humanRecordings(const fs::path& data, const fs::path& scratch) {
  static const std::regex kLine(R"(^\s*<s>\s*(.*?)\s*</s>\s*\((\S+)\)\s*$)");
  std::vector<Sample> result;
  for (const char* set : kHumanSets) {
    for (const auto& entry : fs::directory_iterator(data / set)) {
      if (entry.path().filename().string().find("transcription") == std::string::npos) continue;
      std::ifstream in(entry.path());
      for (std::string line; std::getline(in, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, kLine)) continue;
        const auto wav = data / set / (match[2].str() + ".wav");
        if (!fs::exists(wav)) continue;
        result.push_back(
            {std::string(set) + "/" + match[2].str(), match[1].str(), asMicrophone(wav, scratch)});
      }
    }
  }
  return result;
}

// The final transcript of one utterance, all its audio appended at once.
std::string recognize(SpeechRecognition& recognition, SpeechRecognizer& recognizer,
                      TestMainQueue& queue, const std::vector<float>& samples) {
  auto request = recognition.makeRequest();
  request->setShouldReportPartialResults(true);
  request->setAddsPunctuation(true);
  std::optional<std::string> text;
  auto task = recognizer.recognitionTask(request, [&text](const auto& result, const auto& error) {
    if (result && result->isFinal) text = result->formattedString;
    if (error) text = "";
  });
  for (const auto& buffer : SynthesizedSpeech::buffers(samples)) request->append(buffer);
  request->endAudio();
  if (!queue.runUntil([&] { return text.has_value(); }, 120s)) task->cancel();
  return text.value_or("");
}

// Decodes a set on a new decoder, or on a new one for each utterance when `fresh`; prints the
// utterances with errors, or all of them when `everyOne`.
Tally score(SpeechRecognition& recognition, TestMainQueue& queue, const std::vector<Sample>& set,
            bool fresh, bool everyOne) {
  auto recognizer = recognition.recognizer("en-US");
  Tally tally;
  for (const auto& sample : set) {
    if (fresh && &sample != &set.front()) recognizer = recognition.recognizer("en-US");
    const auto hypothesis = recognize(recognition, *recognizer, queue, sample.samples);
    const double words = double(wordCount(sample.reference));
    const double errors =
        std::round(SynthesizedSpeech::wordErrorRate(sample.reference, hypothesis) * words);
    tally.errors += errors;
    tally.words += words;
    if (everyOne || errors > 0) {
      std::printf("  %-52s %2.0f/%-2.0f wrong  \"%s\"\n", sample.name.c_str(), errors, words,
                  hypothesis.c_str());
    }
  }
  return tally;
}

std::string rate(const Tally& tally) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f %% (%.0f/%.0f)", 100 * tally.errors / tally.words,
                tally.errors, tally.words);
  return text;
}

int run(const std::string& sentencesFile, const fs::path& data) {
  if (!SphinxModelFinder(fs::path()).find("en-US")) {
    return std::fprintf(stderr, "pocketsphinx-en-us is not installed\n"), 1;
  }
  SynthesizedSpeech speech;
  std::vector<Sample> synthetic;
  std::ifstream in(sentencesFile);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    synthetic.push_back({line, line, speech.say(line)});
    if (synthetic.back().samples.empty())
      return std::fprintf(stderr, "%s\n", speech.error().c_str()), 1;
  }
  if (synthetic.empty())
    return std::fprintf(stderr, "no sentences in %s\n", sentencesFile.c_str()), 1;
  if (!fs::is_directory(data / kHumanSets[0])) {
    return std::fprintf(stderr, "no recordings in %s: install pocketsphinx-testdata\n",
                        data.c_str()),
           1;
  }
  const auto human = humanRecordings(data, speech.directory());
  for (const auto& sample : human) {
    if (sample.samples.empty())
      return std::fprintf(stderr, "sox failed on %s\n", sample.name.c_str()), 1;
  }

  TestMainQueue queue;
  SphinxSpeechRecognition recognition(queue, fs::path());
  std::printf("(a) flite -voice rms, one session, the sentences with errors:\n");
  const auto a = score(recognition, queue, synthetic, false, false);
  std::printf("(a) flite -voice rms, a fresh decoder each, the sentences with errors:\n");
  const auto aFresh = score(recognition, queue, synthetic, true, false);
  std::printf("(b) pocketsphinx-testdata human recordings, one session:\n");
  const auto b = score(recognition, queue, human, false, true);
  std::printf("(b) pocketsphinx-testdata human recordings, a fresh decoder each:\n");
  const auto bFresh = score(recognition, queue, human, true, true);

  const auto row = [](const std::string& what, const Tally& session, const Tally& fresh) {
    std::printf("%-37s %-22s %s\n", what.c_str(), rate(session).c_str(), rate(fresh).c_str());
  };
  std::printf("\n%-37s %-22s %s\n", "word error rate, en-US model", "one session",
              "a fresh decoder each utterance");
  row("(a) flite -voice rms, " + std::to_string(synthetic.size()) + " sentences", a, aFresh);
  row("(b) human recordings, " + std::to_string(human.size()) + " files", b, bFresh);
  return 0;
}

}  // namespace
}  // namespace vellotype

int main(int argc, char** argv) {
  return vellotype::run(argc > 1 ? argv[1] : VELLOTYPE_BENCH_SENTENCES,
                        argc > 2 ? argv[2] : vellotype::kTestData);
}
