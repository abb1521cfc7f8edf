#include "RawSelectionOwner.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>

namespace vellotype::testing {
namespace {

constexpr std::size_t kChunk = 256 * 1024;

}  // namespace

RawSelectionOwner::RawSelectionOwner(const std::string& display, Targets targets,
                                     const std::string& unanswered)
    : c_(xcb_connect(display.c_str(), nullptr)) {
  if (xcb_connection_has_error(c_)) return;
  const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
  window_ = xcb_generate_id(c_);
  xcb_create_window(c_, 0, window_, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  targetsAtom_ = intern("TARGETS");
  unanswered_ = unanswered.empty() ? XCB_NONE : intern(unanswered);
  for (auto& [name, bytes] : targets) targets_[intern(name)] = std::move(bytes);
  xcb_set_selection_owner(c_, window_, intern("CLIPBOARD"), XCB_CURRENT_TIME);
  // A round trip: the server has made this the owner before anyone asks.
  std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
  thread_ = std::thread([this] {
    while (auto* event = xcb_wait_for_event(c_)) {
      const auto type = event->response_type & 0x7F;
      if (type == XCB_SELECTION_REQUEST) {
        answer(*reinterpret_cast<xcb_selection_request_event_t*>(event));
      } else if (type == XCB_PROPERTY_NOTIFY) {
        sendNextChunk(*reinterpret_cast<xcb_property_notify_event_t*>(event));
      }
      std::free(event);
      xcb_flush(c_);
    }
  });
}

RawSelectionOwner::~RawSelectionOwner() {
  // A connection shut down ends the thread's wait for events.
  ::shutdown(xcb_get_file_descriptor(c_), SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  xcb_disconnect(c_);
}

xcb_atom_t RawSelectionOwner::intern(const std::string& name) {
  auto* reply = xcb_intern_atom_reply(
      c_, xcb_intern_atom(c_, 0, std::uint16_t(name.size()), name.c_str()), nullptr);
  const auto atom = reply ? reply->atom : XCB_NONE;
  std::free(reply);
  return atom;
}

void RawSelectionOwner::answer(const xcb_selection_request_event_t& request) {
  if (request.target == unanswered_) return;
  const auto property = request.property != XCB_NONE ? request.property : request.target;
  xcb_selection_notify_event_t notify{};
  notify.response_type = XCB_SELECTION_NOTIFY;
  notify.time = request.time;
  notify.requestor = request.requestor;
  notify.selection = request.selection;
  notify.target = request.target;
  notify.property = property;
  const auto found = targets_.find(request.target);
  if (request.target == targetsAtom_) {
    std::vector<xcb_atom_t> atoms = {targetsAtom_};
    for (const auto& [atom, bytes] : targets_) atoms.push_back(atom);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                        std::uint32_t(atoms.size()), atoms.data());
  } else if (found == targets_.end()) {
    notify.property = XCB_NONE;
  } else if (const auto size = std::uint32_t(found->second.size()); size > kChunk) {
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c_, request.requestor, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, intern("INCR"), 32,
                        1, &size);
    outgoing_[{request.requestor, property}] = {request.target, 0};
  } else {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, request.requestor, property, request.target, 8,
                        size, found->second.data());
  }
  xcb_send_event(c_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&notify));
}

// The requestor deleting the property asks for the next chunk; an empty one ends the transfer.
void RawSelectionOwner::sendNextChunk(const xcb_property_notify_event_t& notify) {
  const auto transfer = outgoing_.find({notify.window, notify.atom});
  if (notify.state != XCB_PROPERTY_DELETE || transfer == outgoing_.end()) return;
  auto& [target, offset] = transfer->second;
  const auto& bytes = targets_[target];
  const auto size = std::min(kChunk, bytes.size() - offset);
  xcb_change_property(c_, XCB_PROP_MODE_REPLACE, notify.window, notify.atom, target, 8,
                      std::uint32_t(size), bytes.data() + offset);
  offset += size;
  if (size == 0) outgoing_.erase(transfer);
}

}  // namespace vellotype::testing
