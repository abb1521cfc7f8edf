#pragma once
// Starts a PocketSphinx decoder without letting the library end the process on the errors it
// calls fatal. Any thread, one load at a time per thread; used by SphinxDecoder in the program and
// by the model checker in its child process.

#include <string>

struct ps_decoder_s;

namespace vellotype {

class SphinxInit {
 public:
  struct Result {
    ps_decoder_s* decoder = nullptr;  // the caller's, to free with ps_free()
    std::string error;                // the library's own words when decoder is null
  };

  // Without a language model only the acoustic model and the dictionary are read, which is most
  // of what the library can fail on, in about a third of the time.
  static Result run(const std::string& acousticModel, const std::string& dictionary,
                    const std::string& languageModel = {});
};

}  // namespace vellotype
