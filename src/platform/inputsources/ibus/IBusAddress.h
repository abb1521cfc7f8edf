#pragma once
// Finds the private bus of a running ibus-daemon the way IBus's own clients do. Stateless; used on
// the main thread by the input-source chooser.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellotype {

class IBusAddress {
 public:
  // What the rule reads from the process: unset and empty variables alike are left out.
  struct Environment {
    std::optional<std::string> address;      // IBUS_ADDRESS
    std::optional<std::string> addressFile;  // IBUS_ADDRESS_FILE
    std::string configHome;                  // XDG_CONFIG_HOME, else $HOME/.config
    std::optional<std::string> waylandDisplay;
    std::optional<std::string> display;
    std::string machineId;  // /var/lib/dbus/machine-id, else /etc/machine-id

    static Environment ofThisProcess();
  };

  // What a daemon writes into its address file.
  struct Announcement {
    std::string address;
    pid_t pid = -1;
  };

  // The address of the daemon that serves this session, if one runs.
  static std::optional<std::string> locate(const Environment& environment);

  // The address files a daemon of this session writes, in the order to read them. IBus 1.5.27
  // writes both a Wayland and an X11 one, newer versions only the Wayland one, older ones only
  // the X11 one.
  static std::vector<std::string> addressFiles(const Environment& environment);
  static std::optional<Announcement> parse(std::string_view contents);
};

}  // namespace vellotype
