#pragma once
// Where the three parts of one PocketSphinx model are. A plain value, any thread; found by
// SphinxModelFinder and kept by the recogniser that loads it.

#include <filesystem>

namespace vellotype {

struct SphinxModelFiles {
  std::filesystem::path folder;
  std::filesystem::path acousticModel;  // a directory holding mdef
  std::filesystem::path dictionary;
  std::filesystem::path languageModel;
  bool operator==(const SphinxModelFiles&) const = default;
};

}  // namespace vellotype
