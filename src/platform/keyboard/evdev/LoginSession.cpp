#include "platform/keyboard/evdev/LoginSession.h"

#include <cstdlib>
#include <fstream>

namespace vellotype {

bool LoginSession::isActive() {
  const char* id = std::getenv("XDG_SESSION_ID");
  if (!id || !*id || std::string(id).find('/') != std::string::npos) return true;
  return isActive(std::filesystem::path("/run/systemd/sessions") / id);
}

bool LoginSession::isActive(const std::filesystem::path& record) {
  std::ifstream in(record);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("ACTIVE=")) return line != "ACTIVE=0";
  }
  return true;
}

}  // namespace vellotype
