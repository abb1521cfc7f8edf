#pragma once
// A window of another X client that holds the input focus and records the key events it is
// sent, as the application in front of the user would. Used from the test thread only.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace vellotype::testing {

class FocusedWindow {
 public:
  struct Key {
    bool press;
    std::uint8_t keycode;
    std::uint16_t state;  // the core modifier mask before the event
  };

  explicit FocusedWindow(const std::string& display);
  ~FocusedWindow();
  FocusedWindow(const FocusedWindow&) = delete;
  FocusedWindow& operator=(const FocusedWindow&) = delete;

  // False when the window could not be shown and focused.
  bool ready() const { return ready_; }
  std::uint32_t id() const { return window_; }
  // Names the window's program as a toolkit would (WM_CLASS); waits until the server has it.
  void setClass(const std::string& instance, const std::string& className);
  // Reads arriving events until `done` holds for the keys received, or `timeout` passes.
  bool waitUntil(const std::function<bool(const std::vector<Key>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(2));
  bool received(std::uint8_t keycode) const;
  const std::vector<Key>& keys() const { return keys_; }

 private:
  void read();

  xcb_connection_t* connection_;
  std::uint32_t window_ = 0;
  bool ready_ = false;
  bool mapped_ = false;
  std::vector<Key> keys_;
};

}  // namespace vellotype::testing
