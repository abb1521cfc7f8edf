#pragma once
// One PocketSphinx decoder with its model loaded (~100 MB), decoding one utterance at a time.
// Used on the recogniser's worker thread only; owned by SphinxDecodingWorker.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/recognition/sphinx/SphinxModelCheck.h"
#include "platform/recognition/sphinx/SphinxModelFiles.h"

struct ps_decoder_s;

namespace vellotype {

class SphinxDecoder {
 public:
  struct Loaded;

  // Takes 0.3–0.7 s. Never ends the process, even for the broken models on which the library
  // itself would call exit() or crash: `check` reads the model in a child process first.
  static Loaded load(const SphinxModelFiles& files,
                     const SphinxModelCheck& check = SphinxModelCheck());

  ~SphinxDecoder();
  SphinxDecoder(const SphinxDecoder&) = delete;
  SphinxDecoder& operator=(const SphinxDecoder&) = delete;

  bool startUtterance();
  void process(std::span<const std::int16_t> samples);
  // The best hypothesis so far, or the final one after endUtterance(); empty when none.
  std::string hypothesis();
  void endUtterance();

 private:
  explicit SphinxDecoder(ps_decoder_s* decoder) : decoder_(decoder) {}

  ps_decoder_s* decoder_;
};

struct SphinxDecoder::Loaded {
  std::unique_ptr<SphinxDecoder> decoder;
  std::string error;  // why, when decoder is null: the library's words, or how it ended
};

}  // namespace vellotype
