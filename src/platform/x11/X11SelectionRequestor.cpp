#include "platform/x11/X11SelectionRequestor.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/x11/XcbReply.h"

namespace vellotype {
namespace {

// A SelectionNotify comes through SendEvent, which sets the top bit of its type.
std::uint8_t typeOf(const xcb_generic_event_t& event) { return event.response_type & 0x7F; }

}  // namespace

X11SelectionRequestor::X11SelectionRequestor(xcb_connection_t* connection, std::uint32_t root,
                                             Atoms atoms)
    : connection_(connection), atoms_(atoms), window_(xcb_generate_id(connection)) {
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(connection_, 0, window_, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
}

X11SelectionRequestor::~X11SelectionRequestor() {
  // An owner still answering us finds the window gone and stops.
  xcb_destroy_window(connection_, window_);
  xcb_flush(connection_);
}

X11SelectionRequestor::Transfer X11SelectionRequestor::convert(std::uint32_t target,
                                                               std::size_t sizeLimit,
                                                               Clock::time_point deadline) {
  xcb_convert_selection(connection_, window_, atoms_.selection, target, atoms_.property,
                        XCB_CURRENT_TIME);
  xcb_flush(connection_);
  // The target tells this answer from a late one to a request that timed out: a window id can
  // come back, on a connection opened after the server let the one before go.
  const auto answer = waitFor(
      [this, target](const xcb_generic_event_t& event) {
        if (typeOf(event) != XCB_SELECTION_NOTIFY) return false;
        const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
        return notify.requestor == window_ && notify.selection == atoms_.selection &&
               notify.target == target;
      },
      deadline);
  if (!answer) return abandon(Outcome::timedOut);
  if (reinterpret_cast<const xcb_selection_notify_event_t&>(*answer).property == XCB_NONE) {
    return {Outcome::refused, {}};
  }
  auto value = take(sizeLimit);
  if (!value.present) return {Outcome::refused, {}};
  if (value.type == atoms_.incr) {
    // Its value is a lower bound on the size to come.
    std::uint32_t announced = 0;
    std::memcpy(&announced, value.bytes.data(), std::min(value.bytes.size(), sizeof announced));
    if (announced > sizeLimit) return abandon(Outcome::tooLarge);
    return receiveIncrementally(sizeLimit, deadline);
  }
  if (value.tooLarge) return {Outcome::tooLarge, {}};
  return {Outcome::received, std::move(value.bytes)};
}

// Reading the INCR property deleted it, which asks the owner for the first chunk; deleting each
// chunk asks for the next, and an empty one ends the transfer.
X11SelectionRequestor::Transfer X11SelectionRequestor::receiveIncrementally(
    std::size_t sizeLimit, Clock::time_point deadline) {
  std::string bytes;
  for (;;) {
    const auto chunkWritten = waitFor(
        [this](const xcb_generic_event_t& event) {
          if (typeOf(event) != XCB_PROPERTY_NOTIFY) return false;
          const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(event);
          return notify.window == window_ && notify.atom == atoms_.property &&
                 notify.state == XCB_PROPERTY_NEW_VALUE;
        },
        deadline);
    if (!chunkWritten) return abandon(Outcome::timedOut);
    auto chunk = take(sizeLimit - bytes.size());
    if (chunk.tooLarge) return abandon(Outcome::tooLarge);
    if (!chunk.present) continue;
    if (chunk.bytes.empty()) return {Outcome::received, std::move(bytes)};
    bytes += chunk.bytes;
  }
}

X11SelectionRequestor::Value X11SelectionRequestor::take(std::size_t sizeLimit) {
  // One word more than the limit tells a value just over it from one that fits.
  const auto words = std::uint32_t(
      std::min<std::size_t>(sizeLimit / 4 + 1, std::numeric_limits<std::uint32_t>::max()));
  const XcbPtr<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection_,
                             xcb_get_property(connection_, 1, window_, atoms_.property,
                                              XCB_GET_PROPERTY_TYPE_ANY, 0, words),
                             nullptr));
  if (!reply || reply->type == XCB_NONE) return {};
  const auto length = std::size_t(xcb_get_property_value_length(reply.get()));
  if (reply->bytes_after > 0 || length > sizeLimit) {
    // GetProperty deletes only a value it returned whole.
    xcb_delete_property(connection_, window_, atoms_.property);
    return {true, true, reply->type, {}};
  }
  const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
  return {true, false, reply->type, std::string(data, length)};
}

X11SelectionRequestor::EventPtr X11SelectionRequestor::waitFor(
    const std::function<bool(const xcb_generic_event_t&)>& wanted, Clock::time_point deadline) {
  const int fd = xcb_get_file_descriptor(connection_);
  for (;;) {
    // Drained before poll(): events read along with replies already sit in xcb's queue.
    while (auto* raw = xcb_poll_for_event(connection_)) {
      EventPtr event(raw);
      if (wanted(*event)) return event;
    }
    if (xcb_connection_has_error(connection_)) return nullptr;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return nullptr;
    pollfd pfd{fd, POLLIN, 0};
    poll(&pfd, 1, int(std::min<std::int64_t>(left.count(), std::numeric_limits<int>::max())));
  }
}

X11SelectionRequestor::Transfer X11SelectionRequestor::abandon(Outcome outcome) {
  usable_ = false;
  return {outcome, {}};
}

}  // namespace vellotype
