#pragma once
// The user's desktop session around the program. Main thread only; owned by the composition
// root.

#include <string>
#include <string_view>

namespace vellotype {

class Workspace {
 public:
  virtual ~Workspace() = default;

  // Opens a URL with the user's preferred application; false when nothing could open it.
  virtual bool openURL(std::string_view url) = 0;
  // The user's language and region as a locale identifier such as "en-US".
  virtual std::string currentLocaleIdentifier() const = 0;
  // On Wayland the program reaches only X11 (XWayland) applications.
  virtual bool isWaylandSession() const = 0;
};

}  // namespace vellotype
