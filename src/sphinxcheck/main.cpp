// The model checker that SphinxModelCheck runs in a child process: it reads an acoustic model and
// a dictionary the way the program would, so that a model on which PocketSphinx exits or crashes
// ends this process instead of the program.

#include <unistd.h>

#include <cstdio>

#include "platform/recognition/sphinx/SphinxInit.h"
#include "platform/recognition/sphinx/SphinxModelCheck.h"

int main(int argc, char** argv) {
  using vellotype::SphinxModelCheck;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s ACOUSTIC_MODEL DICTIONARY\n", argv[0]);
    return 2;
  }
  const auto result = vellotype::SphinxInit::run(argv[1], argv[2]);
  if (result.decoder == nullptr) std::printf("%s\n", result.error.c_str());
  std::fflush(stdout);
  // Freeing the decoder would only cost time, and after a failure the library has left behind
  // what it allocated; neither is worth a leak report from a sanitizer build.
  _exit(result.decoder == nullptr ? SphinxModelCheck::kRefused : 0);
}
