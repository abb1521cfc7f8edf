#pragma once
// Whether the user's login session is the one in front: the kernel's input devices carry every
// session's keys, those typed at another user's desktop or another virtual terminal included.
// Reads logind's record of the session; any thread.

#include <filesystem>
#include <string>

namespace vellotype {

class LoginSession {
 public:
  // The session of $XDG_SESSION_ID in /run/systemd/sessions. When it cannot be told (no
  // logind, no session id), it counts as in front, as before.
  static bool isActive();
  // "ACTIVE=0" in such a record means another session is in front.
  static bool isActive(const std::filesystem::path& record);
};

}  // namespace vellotype
