#pragma once
// Finds the PocketSphinx model installed for a locale: the user's folder first, then the system's
// packaged models. A few directory reads and stats, so cheap enough for the main thread; a value
// type owned by SphinxSpeechRecognition.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/recognition/sphinx/SphinxModelFiles.h"

namespace vellotype {

class SphinxModelFinder {
 public:
  using SystemModels = std::map<std::string, std::filesystem::path, std::less<>>;

  // Debian's pocketsphinx-en-us.
  static SystemModels debianModels();
  // $XDG_DATA_HOME/Vellotype/models, with ~/.local/share when the variable is unset or relative;
  // empty when neither gives an absolute path.
  static std::filesystem::path defaultUserRoot(const char* xdgDataHome, const char* home);
  static std::filesystem::path defaultUserRoot();

  // The model in `folder`, when it holds all three parts.
  static std::optional<SphinxModelFiles> inFolder(const std::filesystem::path& folder);

  explicit SphinxModelFinder(std::filesystem::path userRoot,
                             SystemModels systemModels = debianModels());

  // <userRoot>/<locale>/ when it holds a model, else the system's model for the locale.
  std::optional<SphinxModelFiles> find(const std::string& localeIdentifier) const;

 private:
  std::filesystem::path userRoot_;
  SystemModels systemModels_;
};

}  // namespace vellotype
