#include "RawSelectionOwner.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace vellotype::testing {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

}  // namespace

RawSelectionOwner::RawSelectionOwner(const std::string& display, Targets targets,
                                     std::set<std::string> unanswered, const std::string& selection)
    : connection_(xcb_connect(display.c_str(), nullptr)), unanswered_(std::move(unanswered)) {
  if (xcb_connection_has_error(connection_)) return;
  const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
  window_ = xcb_generate_id(connection_);
  xcb_create_window(connection_, 0, window_, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  targetsAtom_ = intern("TARGETS");
  incrAtom_ = intern("INCR");
  for (auto& [name, bytes] : targets) {
    const auto atom = intern(name);
    targets_[atom] = {std::move(name), std::move(bytes)};
  }
  const auto selectionAtom = intern(selection);
  xcb_set_selection_owner(connection_, window_, selectionAtom, XCB_CURRENT_TIME);
  const std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> owner(
      xcb_get_selection_owner_reply(connection_,
                                    xcb_get_selection_owner(connection_, selectionAtom), nullptr));
  owns_ = owner && owner->owner == window_;
  thread_ = std::thread([this] { run(); });
}

RawSelectionOwner::~RawSelectionOwner() {
  if (thread_.joinable()) {
    // Any client message to its own window ends the thread.
    xcb_client_message_event_t stop{};
    stop.response_type = XCB_CLIENT_MESSAGE;
    stop.format = 32;
    stop.window = window_;
    stop.type = targetsAtom_;
    xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&stop));
    xcb_flush(connection_);
    thread_.join();
  }
  xcb_disconnect(connection_);
}

xcb_atom_t RawSelectionOwner::intern(const std::string& name) {
  const std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, std::uint16_t(name.size()), name.c_str()),
      nullptr));
  return reply ? reply->atom : XCB_NONE;
}

void RawSelectionOwner::run() {
  while (auto* raw = xcb_wait_for_event(connection_)) {
    const std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(raw);
    const auto type = event->response_type & 0x7F;
    if (type == XCB_CLIENT_MESSAGE) return;
    if (type == XCB_SELECTION_REQUEST) {
      answer(reinterpret_cast<const xcb_selection_request_event_t&>(*event));
    } else if (type == XCB_PROPERTY_NOTIFY) {
      sendNextChunk(reinterpret_cast<const xcb_property_notify_event_t&>(*event));
    }
    xcb_flush(connection_);
  }
}

void RawSelectionOwner::answer(const xcb_selection_request_event_t& request) {
  const auto target = targets_.find(request.target);
  const bool asksTargets = request.target == targetsAtom_;
  const std::string name = asksTargets                ? "TARGETS"
                           : target != targets_.end() ? target->second.first
                                                      : "";
  if (unanswered_.count(name)) return;

  const auto property = request.property != XCB_NONE ? request.property : request.target;
  xcb_selection_notify_event_t notify{};
  notify.response_type = XCB_SELECTION_NOTIFY;
  notify.time = request.time;
  notify.requestor = request.requestor;
  notify.selection = request.selection;
  notify.target = request.target;
  notify.property = property;
  if (asksTargets) {
    std::vector<xcb_atom_t> atoms = {targetsAtom_};
    for (const auto& [atom, entry] : targets_) atoms.push_back(atom);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                        XCB_ATOM_ATOM, 32, std::uint32_t(atoms.size()), atoms.data());
  } else if (target == targets_.end()) {
    notify.property = XCB_NONE;
  } else if (const auto& bytes = target->second.second; bytes.size() > kChunk) {
    const auto size = std::uint32_t(bytes.size());
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, request.requestor, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property, incrAtom_,
                        32, 1, &size);
    outgoing_[{request.requestor, property}] = {request.target, &bytes, 0};
  } else {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                        request.target, 8, std::uint32_t(bytes.size()), bytes.data());
  }
  xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&notify));
}

// The requestor deleting the property asks for the next chunk; an empty one ends the transfer.
void RawSelectionOwner::sendNextChunk(const xcb_property_notify_event_t& notify) {
  if (notify.state != XCB_PROPERTY_DELETE) return;
  const auto transfer = outgoing_.find({notify.window, notify.atom});
  if (transfer == outgoing_.end()) return;
  auto& [type, bytes, offset] = transfer->second;
  const auto size = std::min(kChunk, bytes->size() - offset);
  xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, notify.window, notify.atom, type, 8,
                      std::uint32_t(size), bytes->data() + offset);
  offset += size;
  if (size == 0) outgoing_.erase(transfer);
}

}  // namespace vellotype::testing
