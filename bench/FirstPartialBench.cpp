// How soon the capsule shows the first words: from the moment speech starts reaching the
// microphone to the speech engine's first partial result on the main thread.
//
// Method: the real SpeechEngine over PulseAudioEngine and SphinxSpeechRecognition (Debian's en-US
// model), recording the test microphone of a private PulseAudio daemon (PulseServer), as the
// program does. For each utterance the engine starts recording (the key goes down), then a player
// thread writes 0.3 s of silence into the microphone's sink (SinkPlayer, 5 ms buffered), the
// sentence's own leading silence, and then the rest of the sentence, spoken by flite's rms voice
// and converted to 48 kHz mono float. "Speech starts" is the moment just before the write that
// begins with the sentence's first sample at -50 dBFS or louder, the level where the program's
// meter leaves zero: everything before it has been taken by the server already, so that sample
// is played within the 5 ms the player buffers. "First partial" is when onPartialResult runs on
// this thread, which runs the main queue and wakes as soon as anything is posted. Both moments
// come from one steady clock, so the resolution is a few milliseconds.
//
// The key is released once the sentence has played, and the final result awaited before the next
// utterance. The first utterance, which meets a fresh decoder and sound server, is reported apart.
// The figure includes what no program can avoid: a word can only be named once enough of it has
// been heard, and the decoder looks at its hypothesis every 0.1 s of audio.
//
// Needs flite and sox. Usage: vellotype_first_partial_bench [utterances] [sentences file]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;
using testing::PulseServer;
using testing::SinkPlayer;
using testing::SynthesizedSpeech;
using testing::TestMainQueue;

constexpr float kAudible = 0.00316f;  // -50 dBFS
constexpr double kKeyDownToSpeech = 0.3;
constexpr auto kPauseBetweenUtterances = 500ms;
constexpr auto kGiveUp = 30s;

std::vector<std::string> readSentences(const std::string& path) {
  std::vector<std::string> sentences;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) sentences.push_back(line);
  }
  return sentences;
}

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * double(values.size())));
  return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

std::size_t firstAudible(const std::vector<float>& samples) {
  const auto loud = std::find_if(samples.begin(), samples.end(),
                                 [](float sample) { return std::fabs(sample) >= kAudible; });
  return static_cast<std::size_t>(loud - samples.begin());
}

struct Reports {
  std::optional<Clock::time_point> firstPartialAt;
  std::string firstPartial;
  std::optional<std::string> final;
  std::string error;
};

struct Outcome {
  std::optional<double> milliseconds;  // nothing when no partial result came while speaking
  std::string firstPartial;
  std::string final;
};

// One dictation of `samples`, holding the key while they play.
std::optional<Outcome> dictate(SpeechEngine& engine, SinkPlayer& player, TestMainQueue& queue,
                               Reports& reports, const std::vector<float>& samples) {
  const auto onset = firstAudible(samples);
  auto lead = SynthesizedSpeech::silence(kKeyDownToSpeech);
  lead.insert(lead.end(), samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(onset));
  const std::span<const float> speech(samples.data() + onset, samples.size() - onset);

  reports = {};
  engine.startRecording();
  Clock::time_point speechAt;
  std::atomic<bool> played = false;
  bool playedWell = false;
  std::thread playing([&] {
    playedWell = player.write(lead);
    speechAt = Clock::now();
    playedWell = playedWell && player.write(speech) && player.drain();
    played = true;
    queue.post([] {});  // wakes the main thread
  });
  queue.runUntil([&] { return played.load(); }, kGiveUp);
  playing.join();
  engine.stopRecording();
  queue.runUntil([&] { return reports.final || !reports.error.empty(); }, kGiveUp);
  if (!playedWell || !reports.error.empty() || !reports.final) {
    std::fprintf(stderr, "%s\n",
                 !playedWell ? player.error().c_str()
                             : (reports.error.empty() ? "no final result" : reports.error.c_str()));
    return std::nullopt;
  }
  Outcome outcome{std::nullopt, reports.firstPartial, *reports.final};
  if (reports.firstPartialAt)
    outcome.milliseconds = Milliseconds(*reports.firstPartialAt - speechAt).count();
  return outcome;
}

void print(const Outcome& outcome) {
  if (outcome.milliseconds) {
    std::printf("  %6.0f ms  \"%s\" (final \"%s\")\n", *outcome.milliseconds,
                outcome.firstPartial.c_str(), outcome.final.c_str());
  } else {
    std::printf("  no partial result while speaking (final \"%s\")\n", outcome.final.c_str());
  }
}

int run(int utterances, const std::string& sentencesFile) {
  const auto sentences = readSentences(sentencesFile);
  if (sentences.empty())
    return std::fprintf(stderr, "no sentences in %s\n", sentencesFile.c_str()), 1;
  SynthesizedSpeech speech;
  std::vector<std::vector<float>> spoken;
  for (const auto& sentence : sentences) {
    spoken.push_back(speech.say(sentence));
    if (spoken.back().empty()) return std::fprintf(stderr, "%s\n", speech.error().c_str()), 1;
  }

  PulseServer server;
  if (!server.error().empty()) {
    return std::fprintf(stderr, "no PulseAudio daemon: %s\n", server.error().c_str()), 1;
  }
  setenv("PULSE_SERVER", server.address().c_str(), 1);
  SinkPlayer player(server.address(), PulseServer::kMicFeed);
  if (!player.error().empty()) return std::fprintf(stderr, "%s\n", player.error().c_str()), 1;

  TestMainQueue queue;
  PulseAudioEngine audio;
  SphinxSpeechRecognition recognition(queue, std::filesystem::path());
  auto engine = std::make_shared<SpeechEngine>(audio, recognition, queue, "en-US");
  Reports reports;
  engine->onPartialResult = [&reports](const std::string& text) {
    if (reports.firstPartialAt) return;
    reports.firstPartialAt = Clock::now();
    reports.firstPartial = text;
  };
  engine->onFinalResult = [&reports](const std::string& text) { reports.final = text; };
  engine->onError = [&reports](const std::string& text) { reports.error = text; };

  std::printf("First partial result after speech starts, PocketSphinx en-US, flite rms voice:\n");
  std::printf("first utterance after start-up (not counted):\n");
  const auto first = dictate(*engine, player, queue, reports, spoken[0]);
  if (!first) return 1;
  print(*first);

  std::vector<double> milliseconds;
  int missing = 0;
  for (int i = 0; i < utterances; ++i) {
    queue.runUntil([] { return false; }, kPauseBetweenUtterances);
    const auto which = static_cast<std::size_t>(i + 1) % spoken.size();
    const auto outcome = dictate(*engine, player, queue, reports, spoken[which]);
    if (!outcome) return 1;
    print(*outcome);
    if (outcome->milliseconds) {
      milliseconds.push_back(*outcome->milliseconds);
    } else {
      ++missing;
    }
  }
  if (milliseconds.empty()) return std::fprintf(stderr, "no partial results at all\n"), 1;
  std::printf(
      "speech start -> first partial: p50 %.0f ms, p95 %.0f ms, min %.0f ms, max %.0f ms "
      "(n=%zu",
      percentile(milliseconds, 0.5), percentile(milliseconds, 0.95),
      *std::min_element(milliseconds.begin(), milliseconds.end()),
      *std::max_element(milliseconds.begin(), milliseconds.end()), milliseconds.size());
  std::printf(missing > 0 ? "; %d without a partial result)\n" : ")\n", missing);
  return 0;
}

}  // namespace
}  // namespace vellotype

int main(int argc, char** argv) {
  const int utterances = argc > 1 ? std::max(1, std::atoi(argv[1])) : 24;
  return vellotype::run(utterances, argc > 2 ? argv[2] : VELLOTYPE_BENCH_SENTENCES);
}
