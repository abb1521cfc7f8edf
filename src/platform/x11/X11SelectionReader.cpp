#include "platform/x11/X11SelectionReader.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/x11/SelectionTargets.h"
#include "platform/x11/X11SelectionRequestor.h"
#include "platform/x11/XcbReply.h"

namespace vellotype {
namespace {

using Outcome = X11SelectionRequestor::Outcome;

}  // namespace

X11SelectionReader::X11SelectionReader(std::string display, std::size_t sizeLimit)
    : display_(std::move(display)), sizeLimit_(sizeLimit) {}

X11SelectionReader::~X11SelectionReader() { disconnect(); }

PasteboardContents X11SelectionReader::read(Clock::time_point deadline) {
  if (!connect()) return {};
  auto* c = connection_;
  const XcbPtr<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard_), nullptr));
  if (!owner || owner->owner == XCB_NONE) return {};

  const X11SelectionRequestor::Atoms atoms{clipboard_, property_, incr_};
  auto requestor = std::make_unique<X11SelectionRequestor>(c, root_, atoms);
  const auto list = requestor->convert(targets_, sizeLimit_, deadline);
  if (list.outcome != Outcome::received) return {};
  const auto offered = named(list.bytes);
  std::vector<std::string> names;
  for (const auto& pair : offered) names.push_back(pair.second);

  PasteboardContents contents;
  std::size_t total = 0;
  bool haveImage = false;
  for (const auto& format : SelectionTargets::readingOrder(names)) {
    // The encodings of one picture are the same picture, and owners encode each on request:
    // the first that arrives gives the picture back, and the rest would only spend the time.
    const bool image = SelectionTargets::isImage(format.mimeType);
    if (image && haveImage) continue;
    for (const auto& target : format.targets) {
      const auto atom = std::find_if(offered.begin(), offered.end(),
                                     [&](const auto& pair) { return pair.second == target; });
      if (atom == offered.end()) continue;
      if (!requestor->usable()) {
        requestor = std::make_unique<X11SelectionRequestor>(c, root_, atoms);
      }
      auto transfer = requestor->convert(atom->first, sizeLimit_ - total, deadline);
      // What arrived in time is kept; the rest would only arrive later still.
      if (transfer.outcome == Outcome::timedOut) return contents;
      if (transfer.outcome == Outcome::tooLarge) break;
      if (transfer.outcome == Outcome::received) {
        total += transfer.bytes.size();
        contents.items.emplace_back(format.mimeType,
                                    SelectionTargets::converted(target, std::move(transfer.bytes)));
        haveImage = haveImage || image;
        break;
      }
    }
  }
  return contents;
}

bool X11SelectionReader::connect() {
  if (connection_ && !xcb_connection_has_error(connection_)) return true;
  disconnect();
  int screen = 0;
  connection_ = xcb_connect(display_.empty() ? nullptr : display_.c_str(), &screen);
  if (xcb_connection_has_error(connection_)) {
    disconnect();
    return false;
  }
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (; screen > 0 && roots.rem > 1; --screen) xcb_screen_next(&roots);
  root_ = roots.data->root;

  constexpr std::array<const char*, 4> kNames = {"CLIPBOARD", "TARGETS", "INCR",
                                                 "VELLOTYPE_SELECTION"};
  std::array<xcb_intern_atom_cookie_t, kNames.size()> cookies;
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    cookies[i] = xcb_intern_atom(connection_, 0, std::uint16_t(std::strlen(kNames[i])), kNames[i]);
  }
  std::array<std::uint32_t*, kNames.size()> atoms = {&clipboard_, &targets_, &incr_, &property_};
  bool interned = true;
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    const XcbPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection_, cookies[i], nullptr));
    *atoms[i] = reply ? reply->atom : XCB_NONE;
    interned = interned && *atoms[i] != XCB_NONE;
  }
  if (!interned) disconnect();
  return interned;
}

void X11SelectionReader::disconnect() {
  if (connection_) xcb_disconnect(connection_);
  connection_ = nullptr;
  names_.clear();
}

std::vector<std::pair<std::uint32_t, std::string>> X11SelectionReader::named(
    const std::string& atomList) {
  std::vector<std::uint32_t> atoms(atomList.size() / sizeof(std::uint32_t));
  std::memcpy(atoms.data(), atomList.data(), atoms.size() * sizeof(std::uint32_t));
  std::vector<std::pair<std::uint32_t, xcb_get_atom_name_cookie_t>> lookups;
  for (const auto atom : atoms) {
    if (atom != XCB_NONE && !names_.count(atom)) {
      lookups.emplace_back(atom, xcb_get_atom_name(connection_, atom));
    }
  }
  for (const auto& [atom, cookie] : lookups) {
    const XcbPtr<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(connection_, cookie, nullptr));
    if (!reply) continue;
    names_[atom] = std::string(xcb_get_atom_name_name(reply.get()),
                               std::size_t(xcb_get_atom_name_name_length(reply.get())));
  }
  std::vector<std::pair<std::uint32_t, std::string>> offered;
  for (const auto atom : atoms) {
    const auto name = names_.find(atom);
    if (name != names_.end()) offered.emplace_back(atom, name->second);
  }
  return offered;
}

}  // namespace vellotype
