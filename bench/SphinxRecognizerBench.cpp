// The PocketSphinx recogniser's cost: model load time (with its check), resident memory with the
// model loaded, the real-time factor of decoding, and the time from endAudio() to the final result
// while audio arrives at the microphone's pace. Needs flite and sox. Usage: vellotype_sphinx_bench
// [utterances]

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "SynthesizedSpeech.h"
#include "TestMainQueue.h"
#include "platform/recognition/sphinx/SphinxDecoder.h"
#include "platform/recognition/sphinx/SphinxModelCheck.h"
#include "platform/recognition/sphinx/SphinxModelFinder.h"
#include "platform/recognition/sphinx/SphinxSpeechRecognition.h"

namespace vellotype {
namespace {

using Clock = std::chrono::steady_clock;
using testing::SynthesizedSpeech;
using testing::TestMainQueue;

const std::vector<std::string> kSentences = {
    "she opened the window and looked outside",
    "we need more time to finish the project",
    "i think the weather is nice today",
    "the children are playing in the garden",
    "turn left at the next corner",
    "can you call me back later",
    "the meeting starts at ten o'clock",
    "there is a small house on the hill",
};

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Wall-clock figures grow on a busy machine; the CPU time spent does not.
double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double residentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * double(values.size() - 1) + 0.5);
  return values[index];
}

struct Outcome {
  std::string text;
  Clock::time_point finalAt;
  bool done = false;
};

// One utterance through the recogniser. With `paced`, buffers arrive from a capture thread at
// the microphone's pace; otherwise all at once. Returns the seconds from endAudio() to the
// final result, or from the first buffer when not paced.
double recognize(SpeechRecognition& recognition, SpeechRecognizer& recognizer, TestMainQueue& queue,
                 const std::vector<float>& samples, bool paced, std::string& text) {
  auto request = recognition.makeRequest();
  request->setShouldReportPartialResults(true);
  request->setAddsPunctuation(true);
  auto outcome = std::make_shared<Outcome>();
  auto task = recognizer.recognitionTask(request, [outcome](const auto& result, const auto&) {
    if (!result || !result->isFinal) return;
    *outcome = {result->formattedString, Clock::now(), true};
  });
  const auto buffers = SynthesizedSpeech::buffers(samples);
  const auto start = Clock::now();
  if (paced) {
    bool captured = false;
    std::thread capture([&] {
      const auto period = std::chrono::duration<double>(SynthesizedSpeech::kFramesPerBuffer /
                                                        SynthesizedSpeech::kSampleRate);
      for (std::size_t i = 0; i < buffers.size(); ++i) {
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(period * double(i + 1)));
        request->append(buffers[i]);
      }
      queue.post([&] { captured = true; });
    });
    queue.runUntil([&] { return captured; }, std::chrono::seconds(60));
    capture.join();
  } else {
    for (const auto& buffer : buffers) request->append(buffer);
  }
  const auto ended = Clock::now();
  request->endAudio();
  queue.runUntil([&] { return outcome->done; }, std::chrono::seconds(60));
  text = outcome->text;
  return std::chrono::duration<double>(outcome->finalAt - (paced ? ended : start)).count();
}

int run(int utterances) {
  const auto files = SphinxModelFinder(std::filesystem::path()).find("en-US");
  if (!files) return std::fprintf(stderr, "pocketsphinx-en-us is not installed\n"), 1;
  SynthesizedSpeech speech;
  std::vector<std::vector<float>> spoken;
  for (const auto& sentence : kSentences) {
    spoken.push_back(speech.say(sentence));
    if (spoken.back().empty()) return std::fprintf(stderr, "%s\n", speech.error().c_str()), 1;
  }

  const double residentBefore = residentMiB();
  std::vector<double> loads, loadsCpu;
  double residentLoaded = 0;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    const auto startCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    auto loaded = SphinxDecoder::load(*files);
    loads.push_back(secondsSince(start));
    loadsCpu.push_back(cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - startCpu);
    if (!loaded.decoder) return std::fprintf(stderr, "%s\n", loaded.error.c_str()), 1;
    if (i == 0) residentLoaded = residentMiB();
  }
  std::printf("model load: first %.2f s, then median %.2f s, max %.2f s; CPU time median %.2f s\n",
              loads[0], percentile({loads.begin() + 1, loads.end()}, 0.5),
              *std::max_element(loads.begin() + 1, loads.end()), percentile(loadsCpu, 0.5));
  // Part of each load above: the model's acoustic part and dictionary read in a child process.
  std::vector<double> checks;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    if (auto problem = SphinxModelCheck().problem(*files); !problem.empty()) {
      return std::fprintf(stderr, "%s\n", problem.c_str()), 1;
    }
    checks.push_back(secondsSince(start));
  }
  std::printf("of which the check in a child process: median %.2f s, max %.2f s\n",
              percentile(checks, 0.5), *std::max_element(checks.begin(), checks.end()));
  std::printf("resident memory: %.1f MiB before loading, %.1f MiB with the model (+%.1f MiB)\n",
              residentBefore, residentLoaded, residentLoaded - residentBefore);

  TestMainQueue queue;
  SphinxSpeechRecognition recognition(queue, {});
  auto recognizer = recognition.recognizer("en-US");
  std::string text;
  recognize(recognition, *recognizer, queue, spoken[0], false, text);  // waits for the load

  double audio = 0, decoding = 0, worst = 0;
  const auto startCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  for (const auto& samples : spoken) {
    const double seconds = recognize(recognition, *recognizer, queue, samples, false, text);
    audio += SynthesizedSpeech::seconds(samples);
    decoding += seconds;
    worst = std::max(worst, seconds / SynthesizedSpeech::seconds(samples));
  }
  const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - startCpu;
  std::printf(
      "real-time factor, audio fed at once: %.3f over %zu sentences (%.1f s), worst %.3f; "
      "CPU time %.3f\n",
      decoding / audio, spoken.size(), audio, worst, cpu / audio);

  std::vector<double> latencies;
  double errors = 0;
  for (int i = 0; i < utterances; ++i) {
    const auto which = static_cast<std::size_t>(i) % spoken.size();
    latencies.push_back(recognize(recognition, *recognizer, queue, spoken[which], true, text));
    errors += SynthesizedSpeech::wordErrorRate(kSentences[which], text);
  }
  std::printf(
      "endAudio() to final result, audio at the microphone's pace: median %.0f ms, p95 %.0f ms, "
      "max %.0f ms (%d utterances)\n",
      1000 * percentile(latencies, 0.5), 1000 * percentile(latencies, 0.95),
      1000 * percentile(latencies, 1.0), utterances);
  std::printf("word error rate over those utterances: %.1f %%\n", 100 * errors / utterances);
  return 0;
}

}  // namespace
}  // namespace vellotype

int main(int argc, char** argv) {
  const int utterances = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  return vellotype::run(utterances);
}
