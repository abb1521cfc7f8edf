#pragma once
// Start at login through the desktop's XDG autostart folder: an entry in it starts the program
// when the user logs in. Plain file-system calls; main thread only; owned by the composition root.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/LoginItems.h"

namespace vellotype {

class XdgAutostart : public LoginItems {
 public:
  // `applicationEntry`: the program's own desktop entry, whose content the autostart entry
  // takes. `program`: what the entry starts; a program installed elsewhere than the package
  // puts it is started by its absolute path.
  explicit XdgAutostart(std::filesystem::path applicationEntry,
                        std::filesystem::path autostartEntry = defaultAutostartEntry(),
                        std::filesystem::path program = runningProgram());

  // $XDG_CONFIG_HOME/autostart/vellotype.desktop, ~/.config standing in for a relative or
  // missing $XDG_CONFIG_HOME.
  static std::filesystem::path defaultAutostartEntry();
  static std::filesystem::path runningProgram();

  bool isEnabled() override;
  std::optional<std::string> setEnabled(bool enabled) override;

  // The entry written: the application's entry, started at login, running `program`.
  std::string entryText() const;

 private:
  std::optional<std::string> write() const;
  std::optional<std::string> remove() const;

  std::filesystem::path applicationEntry_;
  std::filesystem::path autostartEntry_;
  std::filesystem::path program_;
};

}  // namespace vellotype
