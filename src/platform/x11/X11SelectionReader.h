#pragma once
// Reads what another X client holds on the CLIPBOARD, format by format, over an X connection of
// its own and only until a deadline, so that a slow or hung owner never holds up its caller for
// longer than that. Main thread only; owned by QtPasteboard.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Pasteboard.h"

struct xcb_connection_t;

namespace vellotype {

class X11SelectionReader {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kDefaultSizeLimit = std::size_t(64) << 20;

  // `display` as xcb_connect takes it; empty means $DISPLAY. A format that would take the total
  // past `sizeLimit` bytes is left out.
  explicit X11SelectionReader(std::string display = {}, std::size_t sizeLimit = kDefaultSizeLimit);
  ~X11SelectionReader();
  X11SelectionReader(const X11SelectionReader&) = delete;
  X11SelectionReader& operator=(const X11SelectionReader&) = delete;

  // Every format worth giving back that arrived before `deadline`, under its MIME type; empty
  // when nobody owns the clipboard or the X server cannot be reached.
  PasteboardContents read(Clock::time_point deadline);

 private:
  bool connect();
  void disconnect();
  // The owner's TARGETS reply as (atom, name) pairs.
  std::vector<std::pair<std::uint32_t, std::string>> named(const std::string& atomList);

  const std::string display_;
  const std::size_t sizeLimit_;
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t root_ = 0;
  std::uint32_t clipboard_ = 0;
  std::uint32_t targets_ = 0;
  std::uint32_t incr_ = 0;
  std::uint32_t property_ = 0;
  // Atom names never change while the server runs.
  std::unordered_map<std::uint32_t, std::string> names_;
};

}  // namespace vellotype
