#pragma once
// Another X client owning the CLIPBOARD the way a plain xcb program does: it answers TARGETS and
// the given targets, sending values over 256 KiB in INCR chunks of that size as GTK does, and
// leaves requests for the `unanswered` target (if any) without any reply, as a hung application
// would. Serves on a thread of its own from construction to destruction; owned by a test.

#include <xcb/xcb.h>

#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vellotype::testing {

class RawSelectionOwner {
 public:
  using Targets = std::vector<std::pair<std::string, std::string>>;  // name, bytes

  RawSelectionOwner(const std::string& display, Targets targets,
                    const std::string& unanswered = {});
  ~RawSelectionOwner();
  RawSelectionOwner(const RawSelectionOwner&) = delete;
  RawSelectionOwner& operator=(const RawSelectionOwner&) = delete;

 private:
  xcb_atom_t intern(const std::string& name);
  void answer(const xcb_selection_request_event_t& request);
  void sendNextChunk(const xcb_property_notify_event_t& notify);

  xcb_connection_t* c_;
  xcb_window_t window_ = 0;
  xcb_atom_t targetsAtom_ = 0, unanswered_ = 0;
  std::map<xcb_atom_t, std::string> targets_;
  // INCR transfers under way, keyed by requestor window and property: target and bytes sent.
  std::map<std::pair<xcb_window_t, xcb_atom_t>, std::pair<xcb_atom_t, std::size_t>> outgoing_;
  std::thread thread_;
};

}  // namespace vellotype::testing
