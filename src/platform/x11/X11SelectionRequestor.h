#pragma once
// A window of our own that asks the CLIPBOARD owner for one target at a time and takes the answer
// from a property of its own, whole or in INCR chunks, until a deadline. Main thread only; owned
// by X11SelectionReader for one read, and replaced once a transfer was given up part way.

#include <xcb/xcb.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/x11/XcbReply.h"

namespace vellotype {

class X11SelectionRequestor {
 public:
  using Clock = std::chrono::steady_clock;

  struct Atoms {
    std::uint32_t selection;
    std::uint32_t property;
    std::uint32_t incr;
  };
  enum class Outcome { received, refused, tooLarge, timedOut };
  struct Transfer {
    Outcome outcome;
    std::string bytes;
  };

  X11SelectionRequestor(xcb_connection_t* connection, std::uint32_t root, Atoms atoms);
  ~X11SelectionRequestor();
  X11SelectionRequestor(const X11SelectionRequestor&) = delete;
  X11SelectionRequestor& operator=(const X11SelectionRequestor&) = delete;

  // Bytes over `sizeLimit` make the target tooLarge.
  Transfer convert(std::uint32_t target, std::size_t sizeLimit, Clock::time_point deadline);

  // False once a transfer was left unfinished: its owner may still write into our property, so
  // a later answer read here could be that one.
  bool usable() const { return usable_; }

 private:
  struct Value {
    bool present = false;
    bool tooLarge = false;
    std::uint32_t type = 0;
    std::string bytes;
  };
  using EventPtr = XcbPtr<xcb_generic_event_t>;

  Transfer receiveIncrementally(std::size_t sizeLimit, Clock::time_point deadline);
  Value take(std::size_t sizeLimit);
  EventPtr waitFor(const std::function<bool(const xcb_generic_event_t&)>& wanted,
                   Clock::time_point deadline);
  Transfer abandon(Outcome outcome);

  xcb_connection_t* const connection_;
  const Atoms atoms_;
  std::uint32_t window_ = 0;
  bool usable_ = true;
};

}  // namespace vellotype
