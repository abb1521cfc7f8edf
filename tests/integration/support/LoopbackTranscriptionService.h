#pragma once
// An OpenAI-compatible transcription service on loopback that really transcribes: English is
// decoded with the program's own PocketSphinx adapter and Debian's en-US model, other languages
// get the reply the test scripts for them. Answers on the server's threads, one decode at a
// time; owned by the test or by the demo server program.

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "LoopbackServer.h"
#include "platform/pulse/WavFile.h"
#include "platform/recognition/sphinx/SphinxDecoder.h"
#include "platform/recognition/sphinx/SphinxModelFinder.h"
#include "text/TranscriptFormatter.h"

namespace vellotype::testing {

class LoopbackTranscriptionService {
 public:
  static constexpr const char* kPath = "/v1/audio/transcriptions";

  // `scripted` answers by language code; English without a script is decoded.
  explicit LoopbackTranscriptionService(std::map<std::string, std::string> scripted = {})
      : scripted_(std::move(scripted)),
        server_([this](const auto& request, auto& response) { answer(request, response); }) {}

  // What goes in the settings' base URL field.
  std::string baseURL() const { return server_.url("/v1"); }
  LoopbackServer& server() { return server_; }
  // Called after each decode with its time, on the server's thread.
  std::function<void(std::chrono::milliseconds)> onDecoded;

 private:
  void answer(const httplib::Request& request, httplib::Response& response) {
    if (request.path != kPath || !request.has_file("file")) {
      response.status = 400;
      response.set_content(R"({"error":{"message":"expected a file"}})", "application/json");
      return;
    }
    const auto language = request.has_file("language") ? request.get_file_value("language").content
                                                       : std::string("en");
    std::string text;
    if (const auto found = scripted_.find(language); found != scripted_.end()) {
      text = found->second;
    } else if (language == "en") {
      text = decode(request.get_file_value("file").content);
    }
    response.set_content(nlohmann::json{{"text", text}}.dump(), "application/json");
  }

  std::string decode(const std::string& wav) {
    const auto file =
        WavFile::parse(std::span(reinterpret_cast<const std::uint8_t*>(wav.data()), wav.size()));
    if (!file || file->sampleRate() != 16000 || file->channels() != 1) return "";
    std::vector<std::int16_t> samples(file->frameCount());
    std::memcpy(samples.data(), file->samples().data(), samples.size() * 2);

    const std::lock_guard lock(mutex_);
    const auto started = std::chrono::steady_clock::now();
    if (!decoder_) {
      const auto files = SphinxModelFinder::inFolder(SphinxModelFinder::debianModels().at("en-US"));
      if (files) decoder_ = SphinxDecoder::load(*files).decoder;
      if (!decoder_) return "";
    }
    decoder_->startUtterance();
    decoder_->process(samples);
    decoder_->endUtterance();
    // Services answer with capitals and punctuation, as the formatter gives them.
    auto text = TranscriptFormatter("en").format(decoder_->hypothesis(), true, true);
    if (onDecoded) {
      onDecoded(std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - started));
    }
    return text;
  }

  std::map<std::string, std::string> scripted_;
  std::mutex mutex_;
  std::unique_ptr<SphinxDecoder> decoder_;  // loaded at the first English request
  LoopbackServer server_;
};

}  // namespace vellotype::testing
