#pragma once
// Finds the client window that holds the keyboard focus and the names in its WM_CLASS. Runs on
// the caller's thread over the caller's X connection; made for one question and then dropped.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace vellotype {

class X11FocusedClient {
 public:
  X11FocusedClient(xcb_connection_t* connection, std::uint32_t root);

  // The instance and class names, lower case; empty when unknown.
  std::vector<std::string> classes();

 private:
  std::optional<std::uint32_t> activeWindow();
  std::optional<std::uint32_t> focusWindow();
  std::optional<std::vector<std::string>> classesAround(std::uint32_t window);
  std::optional<std::vector<std::string>> classesOf(std::uint32_t window);

  xcb_connection_t* connection_;
  std::uint32_t root_;
};

}  // namespace vellotype
