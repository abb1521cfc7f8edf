// The model finder's scan of a folder holding whatever files and folders a user left there: it
// never crashes, and what it finds is inside the folder and of the right kind.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/recognition/sphinx/SphinxModelFinder.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path root =
      fs::temp_directory_path() / ("vellotype-fuzz-" + std::to_string(getpid()));
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::create_directories(root);
  // Entries of: a kind byte (file, folder, folder holding mdef, symlink), a size byte and a name
  // of up to 12 bytes.
  for (std::size_t at = 0; at + 3 <= size;) {
    const auto kind = data[at] % 4;
    const auto bytes = data[at + 1];
    const std::size_t length = std::min<std::size_t>(data[at + 2] % 13, size - at - 3);
    std::string name(reinterpret_cast<const char*>(data + at + 3), length);
    at += 3 + length;
    for (char& c : name) {
      if (c == '/' || c == '\0') c = '_';
    }
    if (name.empty() || name == "." || name == "..") continue;
    const auto path = root / name;
    if (kind == 0) std::ofstream(path) << std::string(bytes, 'x');
    if (kind == 1) fs::create_directory(path, ignored);
    if (kind == 2 && fs::create_directory(path, ignored)) std::ofstream(path / "mdef") << "x";
    if (kind == 3) fs::create_symlink(bytes % 2 ? "/" : "/nonexistent", path, ignored);
  }
  if (const auto files = vellotype::SphinxModelFinder::inFolder(root)) {
    for (const auto& part : {files->acousticModel, files->dictionary, files->languageModel}) {
      if (part.parent_path() != root) __builtin_trap();
    }
    if (!fs::is_regular_file(files->acousticModel / "mdef", ignored)) __builtin_trap();
  }
  return 0;
}
