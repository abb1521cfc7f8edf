#pragma once
// Sentences spoken by flite's "rms" voice (the one PocketSphinx recognises well) and converted by
// sox to the microphone's format, 48 kHz mono float, cut into the capture tap's buffers. For
// tests and measurements of the recogniser; any thread, owned by the caller.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/AudioBuffer.h"

namespace vellotype::testing {

class SynthesizedSpeech {
 public:
  static constexpr double kSampleRate = 48000;
  static constexpr std::uint32_t kFramesPerBuffer = 1024;

  // Files go to a new directory under the system's temporary one, removed again at the end.
  SynthesizedSpeech();
  ~SynthesizedSpeech();
  SynthesizedSpeech(const SynthesizedSpeech&) = delete;
  SynthesizedSpeech& operator=(const SynthesizedSpeech&) = delete;

  // The samples, or nothing (with error() saying why) when flite or sox fails.
  std::vector<float> say(const std::string& sentence);
  const std::string& error() const { return error_; }
  const std::filesystem::path& directory() const { return directory_; }

  static std::vector<float> silence(double seconds);
  static std::vector<std::shared_ptr<const AudioBuffer>> buffers(const std::vector<float>& samples);
  static double seconds(const std::vector<float>& samples) { return samples.size() / kSampleRate; }
  // Word substitutions, insertions and deletions over the reference's word count, ignoring case
  // and punctuation.
  static double wordErrorRate(const std::string& reference, const std::string& hypothesis);

 private:
  std::filesystem::path directory_;
  int count_ = 0;
  std::string error_;
};

}  // namespace vellotype::testing
