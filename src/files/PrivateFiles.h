#pragma once
// Where the program keeps per-user state, and folders only the user may enter. Plain file-system
// calls; any thread.

#include <filesystem>

namespace vellotype::files {

// $XDG_STATE_HOME when it is absolute (the XDG rules ignore a relative one), else ~/.local/state
// with the home from the password database.
std::filesystem::path userStateHome();

// Makes the folder and any missing parents with mode 0700, as the XDG rules ask. Folders that
// exist are left as they are.
void makePrivateFolders(const std::filesystem::path& folder);

}  // namespace vellotype::files
