#pragma once
// Another X client owning a selection the way a plain xcb program does: it answers TARGETS and
// the given targets, sending values over 256 KiB in INCR chunks of that size as GTK does, and
// leaves requests for the `unanswered` targets without any reply, as a hung application would.
// Serves on a thread of its own from construction to destruction; used by one test.

#include <xcb/xcb.h>

#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vellotype::testing {

class RawSelectionOwner {
 public:
  using Targets = std::vector<std::pair<std::string, std::string>>;
  static constexpr std::size_t kChunk = 256 * 1024;

  RawSelectionOwner(const std::string& display, Targets targets,
                    std::set<std::string> unanswered = {},
                    const std::string& selection = "CLIPBOARD");
  ~RawSelectionOwner();
  RawSelectionOwner(const RawSelectionOwner&) = delete;
  RawSelectionOwner& operator=(const RawSelectionOwner&) = delete;

  bool owns() const { return owns_; }

 private:
  struct Outgoing {
    xcb_atom_t type;
    const std::string* bytes;
    std::size_t offset;
  };

  xcb_atom_t intern(const std::string& name);
  void run();
  void answer(const xcb_selection_request_event_t& request);
  void sendNextChunk(const xcb_property_notify_event_t& notify);

  xcb_connection_t* connection_;
  xcb_window_t window_ = 0;
  xcb_atom_t targetsAtom_ = 0;
  xcb_atom_t incrAtom_ = 0;
  std::map<xcb_atom_t, std::pair<std::string, std::string>> targets_;  // atom: name, bytes
  std::set<std::string> unanswered_;
  // Keyed by requestor window and property.
  std::map<std::pair<xcb_window_t, xcb_atom_t>, Outgoing> outgoing_;
  bool owns_ = false;
  std::thread thread_;
};

}  // namespace vellotype::testing
