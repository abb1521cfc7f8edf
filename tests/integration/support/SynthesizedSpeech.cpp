#include "SynthesizedSpeech.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vellotype::testing {

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string word; stream >> word;) {
    std::string plain;
    for (char c : word) {
      if (std::isalnum(static_cast<unsigned char>(c)) || c == '\'') {
        plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
    }
    if (!plain.empty()) result.push_back(plain);
  }
  return result;
}

}  // namespace

SynthesizedSpeech::SynthesizedSpeech() {
  std::string pattern = (fs::temp_directory_path() / "vellotype-speech-XXXXXX").string();
  if (mkdtemp(pattern.data())) directory_ = pattern;
}

SynthesizedSpeech::~SynthesizedSpeech() {
  std::error_code ignored;
  if (!directory_.empty()) fs::remove_all(directory_, ignored);
}

std::vector<float> SynthesizedSpeech::say(const std::string& sentence) {
  const auto name = "sentence" + std::to_string(++count_);
  const auto wav = directory_ / (name + ".wav");
  const auto raw = directory_ / (name + ".f32");
  const auto command = "flite -voice rms -t " + quoted(sentence) + " -o " + quoted(wav.string()) +
                       " && sox " + quoted(wav.string()) + " -t raw -r " +
                       std::to_string(static_cast<int>(kSampleRate)) +
                       " -c 1 -e floating-point -b 32 -L " + quoted(raw.string());
  if (directory_.empty() || std::system(command.c_str()) != 0) {
    error_ = "could not run: " + command;
    return {};
  }
  std::ifstream in(raw, std::ios::binary);
  std::vector<float> samples(fs::file_size(raw) / sizeof(float));
  in.read(reinterpret_cast<char*>(samples.data()),
          static_cast<std::streamsize>(samples.size() * sizeof(float)));
  return samples;
}

std::vector<float> SynthesizedSpeech::silence(double seconds) {
  return std::vector<float>(static_cast<std::size_t>(seconds * kSampleRate), 0.0f);
}

std::vector<std::shared_ptr<const AudioBuffer>> SynthesizedSpeech::buffers(
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

double SynthesizedSpeech::wordErrorRate(const std::string& reference,
                                        const std::string& hypothesis) {
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

}  // namespace vellotype::testing
