#pragma once
// Reads a model's acoustic part and dictionary in a child process before the program loads it:
// on some damaged models PocketSphinx calls exit() or crashes, which there ends only the child.
// Any thread (the recognisers' workers); a small value, made for each load.

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/recognition/sphinx/SphinxModelFiles.h"

namespace vellotype {

class SphinxModelCheck {
 public:
  // The checker runs as `<program> <acoustic model> <dictionary>` and exits with 0 once the
  // library has read them, or with kRefused after printing the library's reason.
  static constexpr const char* kProgramName = "vellotype-sphinx-check";
  static constexpr int kRefused = 1;
  // A good model takes a tenth of a second; a filter count of 10^8 kept the library busy past 20 s.
  static constexpr std::chrono::milliseconds kTimeLimit = std::chrono::seconds(30);

  // Beside an installed program (libexec/vellotype/ next to bin/), else the one built with it.
  static std::filesystem::path defaultProgram();

  explicit SphinxModelCheck(std::filesystem::path program = defaultProgram(),
                            std::chrono::milliseconds timeLimit = kTimeLimit);

  // Empty when the library read the model; otherwise why not, to be shown to the user.
  std::string problem(const SphinxModelFiles& files) const;

 private:
  std::filesystem::path program_;
  std::chrono::milliseconds timeLimit_;
};

}  // namespace vellotype
