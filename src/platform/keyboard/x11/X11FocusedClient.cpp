#include "platform/keyboard/x11/X11FocusedClient.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string_view>

#include "platform/x11/XcbReply.h"

namespace vellotype {
namespace {

// Windows nest a few levels deep at most (a frame, the client, a toolkit's child); the bounds keep
// a strange tree from costing more than a few round trips.
constexpr int kMaxAncestors = 16;
constexpr std::size_t kMaxDescendants = 64;

}  // namespace

X11FocusedClient::X11FocusedClient(xcb_connection_t* connection, std::uint32_t root)
    : connection_(connection), root_(root) {}

std::vector<std::string> X11FocusedClient::classes() {
  // A window manager names the client window it made active; without one, the focus is all
  // there is.
  if (const auto active = activeWindow()) {
    if (auto names = classesAround(*active)) return *names;
  }
  if (const auto focus = focusWindow()) {
    if (auto names = classesAround(*focus)) return *names;
  }
  return {};
}

std::optional<std::uint32_t> X11FocusedClient::activeWindow() {
  auto* c = connection_;
  constexpr std::string_view kName = "_NET_ACTIVE_WINDOW";
  const XcbPtr<xcb_intern_atom_reply_t> atom(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, kName.size(), kName.data()), nullptr));
  if (!atom || atom->atom == XCB_ATOM_NONE) return std::nullopt;
  const XcbPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
      c, xcb_get_property(c, 0, root_, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr));
  if (!property || property->format != 32 || xcb_get_property_value_length(property.get()) < 4) {
    return std::nullopt;
  }
  const auto window = *static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
  if (window == XCB_WINDOW_NONE) return std::nullopt;
  return window;
}

std::optional<std::uint32_t> X11FocusedClient::focusWindow() {
  auto* c = connection_;
  const XcbPtr<xcb_get_input_focus_reply_t> focus(
      xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  if (!focus || focus->focus == XCB_NONE) return std::nullopt;
  if (focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT && focus->focus != root_) return focus->focus;
  // Keys then go to the top-level window under the pointer.
  const XcbPtr<xcb_query_pointer_reply_t> pointer(
      xcb_query_pointer_reply(c, xcb_query_pointer(c, root_), nullptr));
  if (!pointer || pointer->child == XCB_NONE) return std::nullopt;
  return pointer->child;
}

std::optional<std::vector<std::string>> X11FocusedClient::classesAround(std::uint32_t window) {
  auto* c = connection_;
  // Up first: toolkits may focus a child of their client window.
  auto current = window;
  for (int depth = 0; depth < kMaxAncestors && current != root_ && current != XCB_NONE; ++depth) {
    if (auto names = classesOf(current)) return names;
    const XcbPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, current), nullptr));
    if (!tree) return std::nullopt;  // gone, or never was
    current = tree->parent;
  }
  // Then down: a window manager may focus the frame it put around the client.
  std::deque<std::uint32_t> queue{window};
  for (std::size_t visited = 0; !queue.empty() && visited < kMaxDescendants; ++visited) {
    const XcbPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, queue.front()), nullptr));
    queue.pop_front();
    if (!tree) continue;
    const auto* children = xcb_query_tree_children(tree.get());
    const auto count = xcb_query_tree_children_length(tree.get());
    for (int i = 0; i < count; ++i) {
      if (auto names = classesOf(children[i])) return names;
      queue.push_back(children[i]);
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> X11FocusedClient::classesOf(std::uint32_t window) {
  auto* c = connection_;
  const XcbPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(
      c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
  if (!property || property->format != 8) return std::nullopt;
  // Two strings, each ending in a NUL: the instance name, then the class name.
  const std::string_view value(static_cast<const char*>(xcb_get_property_value(property.get())),
                               std::size_t(xcb_get_property_value_length(property.get())));
  std::vector<std::string> names;
  for (std::size_t start = 0; start < value.size() && names.size() < 2;) {
    auto end = value.find('\0', start);
    if (end == std::string_view::npos) end = value.size();
    std::string name(value.substr(start, end - start));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return char(std::tolower(ch)); });
    if (!name.empty()) names.push_back(std::move(name));
    start = end + 1;
  }
  if (names.empty()) return std::nullopt;
  return names;
}

}  // namespace vellotype
