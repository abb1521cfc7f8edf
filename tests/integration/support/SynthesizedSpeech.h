#pragma once
// Sentences spoken by flite's "rms" voice (the one PocketSphinx recognises well) and converted by
// sox to the microphone's format, 48 kHz mono float, cut into the capture tap's buffers. For
// tests and measurements of the recogniser; any thread, owned by the caller.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/AudioBuffer.h"

namespace vellotype::testing {

class SynthesizedSpeech {
 public:
  static constexpr double kSampleRate = 48000;
  static constexpr std::uint32_t kFramesPerBuffer = 1024;

  // Files go to a new directory under the system's temporary one, removed again at the end.
  SynthesizedSpeech() {
    auto pattern = (std::filesystem::temp_directory_path() / "vellotype-speech-XXXXXX").string();
    if (mkdtemp(pattern.data())) directory_ = pattern;
  }
  ~SynthesizedSpeech() {
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }
  SynthesizedSpeech(const SynthesizedSpeech&) = delete;
  SynthesizedSpeech& operator=(const SynthesizedSpeech&) = delete;

  // The samples, or nothing (with error() saying why) when flite or sox fails.
  std::vector<float> say(const std::string& sentence) {
    const auto name = (directory_ / ("sentence" + std::to_string(++count_))).string();
    const auto command = "flite -voice rms -t " + quoted(sentence) + " -o " +
                         quoted(name + ".wav") + " && sox " + quoted(name + ".wav") +
                         " -t raw -r 48000 -c 1 -e floating-point -b 32 -L " +
                         quoted(name + ".f32");
    if (directory_.empty() || std::system(command.c_str()) != 0) {
      error_ = "could not run: " + command;
      return {};
    }
    std::ifstream in(name + ".f32", std::ios::binary);
    std::vector<float> samples(std::filesystem::file_size(name + ".f32") / sizeof(float));
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * sizeof(float)));
    return samples;
  }
  const std::string& error() const { return error_; }
  const std::filesystem::path& directory() const { return directory_; }

  static std::vector<float> silence(double seconds) {
    return std::vector<float>(static_cast<std::size_t>(seconds * kSampleRate), 0.0f);
  }
  static std::vector<std::shared_ptr<const AudioBuffer>> buffers(
      const std::vector<float>& samples) {
    std::vector<std::shared_ptr<const AudioBuffer>> result;
    for (std::size_t at = 0; at < samples.size(); at += kFramesPerBuffer) {
      const auto end = std::min(samples.size(), at + kFramesPerBuffer);
      auto buffer = std::make_shared<AudioBuffer>();
      buffer->format = {kSampleRate, 1};
      buffer->frameLength = static_cast<std::uint32_t>(end - at);
      buffer->floatChannelData.emplace_back(samples.begin() + static_cast<std::ptrdiff_t>(at),
                                            samples.begin() + static_cast<std::ptrdiff_t>(end));
      result.push_back(std::move(buffer));
    }
    return result;
  }
  static double seconds(const std::vector<float>& samples) { return samples.size() / kSampleRate; }

  // Word substitutions, insertions and deletions over the reference's word count, ignoring case
  // and punctuation.
  static double wordErrorRate(const std::string& reference, const std::string& hypothesis) {
    const auto expected = words(reference), actual = words(hypothesis);
    if (expected.empty()) return actual.empty() ? 0.0 : 1.0;
    // Levenshtein distance over words, one row at a time.
    std::vector<std::size_t> previous(actual.size() + 1), current(actual.size() + 1);
    for (std::size_t j = 0; j <= actual.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= expected.size(); ++i) {
      current[0] = i;
      for (std::size_t j = 1; j <= actual.size(); ++j) {
        const auto substitution = previous[j - 1] + (expected[i - 1] == actual[j - 1] ? 0 : 1);
        current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
      }
      std::swap(previous, current);
    }
    return double(previous[actual.size()]) / double(expected.size());
  }

 private:
  static std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
  }
  // Lower case, with only letters, digits and apostrophes.
  static std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string word; stream >> word;) {
      std::erase_if(
          word, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)) && c != '\''; });
      for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!word.empty()) result.push_back(word);
    }
    return result;
  }

  std::filesystem::path directory_;
  int count_ = 0;
  std::string error_;
};

}  // namespace vellotype::testing
