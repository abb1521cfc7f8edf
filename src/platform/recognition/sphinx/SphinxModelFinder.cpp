#include "platform/recognition/sphinx/SphinxModelFinder.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace vellotype {

namespace fs = std::filesystem;

namespace {

bool endsWithIgnoringCase(const std::string& name, std::string_view suffix) {
  if (name.size() <= suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), name.rbegin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

bool endsWithAny(const std::string& name, std::initializer_list<std::string_view> suffixes) {
  return std::any_of(suffixes.begin(), suffixes.end(),
                     [&](std::string_view suffix) { return endsWithIgnoringCase(name, suffix); });
}

// A locale names a folder, so it must not be able to climb out of the root.
bool isPlainIdentifier(const std::string& locale) {
  return !locale.empty() && std::all_of(locale.begin(), locale.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
  });
}

// A folder may hold a phone-loop model or a test word list next to the real one; the real one is
// always far bigger.
void keepLarger(std::optional<fs::path>& kept, std::uintmax_t& keptSize, const fs::path& file) {
  std::error_code error;
  const auto size = fs::file_size(file, error);
  if (error) return;
  if (!kept || size > keptSize || (size == keptSize && file < *kept)) {
    kept = file;
    keptSize = size;
  }
}

}  // namespace

SphinxModelFinder::SystemModels SphinxModelFinder::debianModels() {
  return {{"en-US", "/usr/share/pocketsphinx/model/en-us"}};
}

fs::path SphinxModelFinder::defaultUserRoot(const char* xdgDataHome, const char* home) {
  if (xdgDataHome && fs::path(xdgDataHome).is_absolute()) {
    return fs::path(xdgDataHome) / "Vellotype" / "models";
  }
  if (home && fs::path(home).is_absolute()) {
    return fs::path(home) / ".local" / "share" / "Vellotype" / "models";
  }
  return {};
}

fs::path SphinxModelFinder::defaultUserRoot() {
  return defaultUserRoot(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::optional<SphinxModelFiles> SphinxModelFinder::inFolder(const fs::path& folder) {
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) return std::nullopt;

  std::vector<fs::path> acousticModels;
  std::optional<fs::path> dictionary, languageModel;
  std::uintmax_t dictionarySize = 0, languageModelSize = 0;
  for (const auto& entry : entries) {
    const auto name = entry.path().filename().string();
    if (entry.is_directory(error)) {
      if (fs::is_regular_file(entry.path() / "mdef", error)) acousticModels.push_back(entry.path());
    } else if (!entry.is_regular_file(error)) {
      continue;
    } else if (endsWithAny(name, {".dict", ".dic"})) {
      keepLarger(dictionary, dictionarySize, entry.path());
    } else if (endsWithAny(name, {".lm.bin", ".lm", ".lm.dmp"})) {
      keepLarger(languageModel, languageModelSize, entry.path());
    }
  }
  if (acousticModels.empty() || !dictionary || !languageModel) return std::nullopt;
  return SphinxModelFiles{folder, *std::min_element(acousticModels.begin(), acousticModels.end()),
                          *dictionary, *languageModel};
}

SphinxModelFinder::SphinxModelFinder(fs::path userRoot, SystemModels systemModels)
    : userRoot_(std::move(userRoot)), systemModels_(std::move(systemModels)) {}

std::optional<SphinxModelFiles> SphinxModelFinder::find(const std::string& localeIdentifier) const {
  if (!isPlainIdentifier(localeIdentifier)) return std::nullopt;
  if (!userRoot_.empty()) {
    if (auto files = inFolder(userRoot_ / localeIdentifier)) return files;
  }
  const auto system = systemModels_.find(localeIdentifier);
  if (system == systemModels_.end()) return std::nullopt;
  return inFolder(system->second);
}

}  // namespace vellotype
