#include "files/PrivateFiles.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace vellotype::files {

std::filesystem::path userStateHome() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return state;
  const passwd* user = getpwuid(getuid());
  const std::filesystem::path home = user && user->pw_dir ? user->pw_dir : "/";
  return home / ".local" / "state";
}

void makePrivateFolders(const std::filesystem::path& folder) {
  if (folder.empty() || std::filesystem::exists(folder)) return;
  makePrivateFolders(folder.parent_path());
  ::mkdir(folder.c_str(), 0700);
}

}  // namespace vellotype::files
