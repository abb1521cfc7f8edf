#include "platform/keyboard/x11/X11EventTap.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <optional>

#include "platform/x11/XcbReply.h"

// xkb.h names a struct member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include "platform/keyboard/KeyCodeTable.h"
#include "platform/keyboard/KeyTransitionTracker.h"

namespace vellotype {
namespace {

using Answer = KeyTransitionTracker::Answer;
using Source = KeyTransitionTracker::Source;

constexpr int kEvdevOffset = 8;

std::uint8_t allowMode(Answer answer) {
  switch (answer) {
    case Answer::syncKeyboard:
      return XCB_ALLOW_SYNC_KEYBOARD;
    default:
      return XCB_ALLOW_REPLAY_KEYBOARD;
  }
}

struct DecodedKey {
  bool grabbed;
  bool press;
  std::uint8_t keycode;
  std::uint32_t time;
};

// Synthetic events (top bit of the type set) never come from our grab, so they are ignored.
std::optional<DecodedKey> decode(const xcb_generic_event_t& event, std::uint8_t xinputOpcode) {
  const auto type = event.response_type;
  if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
    const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
    return DecodedKey{true, type == XCB_KEY_PRESS, key.detail, key.time};
  }
  if (type != XCB_GE_GENERIC) return std::nullopt;
  const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
  if (generic.extension != xinputOpcode) return std::nullopt;
  const bool press = generic.event_type == XCB_INPUT_RAW_KEY_PRESS;
  if (!press && generic.event_type != XCB_INPUT_RAW_KEY_RELEASE) return std::nullopt;
  const auto& raw = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
  if (raw.detail > 0xFF) return std::nullopt;
  return DecodedKey{false, press, std::uint8_t(raw.detail), raw.time};
}

// Sequence numbers wrap around; within half their range of the start a number lies after it.
constexpr std::uint32_t kHalfRange = 0x80000000u;

// The tap answers within microseconds; the bound only matters if its thread is gone.
constexpr auto kDrainTimeout = std::chrono::milliseconds(200);
constexpr auto kNoMoreDrains = std::numeric_limits<std::uint64_t>::max();

}  // namespace

bool X11EventTap::Span::contains(std::uint32_t sequence) const {
  const std::uint32_t offset = sequence - begin;
  return offset < kHalfRange && (!end || offset < *end - begin);
}

bool X11EventTap::Span::endsBefore(std::uint32_t sequence) const {
  const std::uint32_t offset = sequence - begin;
  return end && offset < kHalfRange && offset >= *end - begin;
}

X11EventTap::X11EventTap(std::string display) : display_(std::move(display)) {}

X11EventTap::~X11EventTap() { stop(); }

EventTap::StartResult X11EventTap::start(const TriggerKey& trigger, Filter filter) {
  stop();
  auto result = connect(trigger);
  if (result == StartResult::started) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) result = StartResult::unavailable;
  }
  if (result != StartResult::started) {
    stop();
    return result;
  }
  tracker_ = std::make_unique<KeyTransitionTracker>(grabbed_, std::move(filter), keysDown());
  suspended_.reset();
  drainRequests_ = 0;
  drained_ = 0;
  thread_ = std::thread([this] {
    run();
    confirmDrained(kNoMoreDrains);
  });
  return result;
}

void X11EventTap::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    wake();
    thread_.join();
    stopping_ = false;
  }
  tracker_.reset();
  if (wakeFd_ >= 0) close(wakeFd_);
  wakeFd_ = -1;
  disconnect();
}

void X11EventTap::suspend() {
  if (!thread_.joinable()) return;
  auto* c = connection_;
  // Once the server has answered, everything it sent us before is in xcb's queue, and the tap
  // answers all of it: a grabbed key still waiting for its answer would be lost to the
  // application once the grab ends.
  roundTrip(false);
  const auto request = ++drainRequests_;
  wake();
  {
    std::unique_lock lock(spanMutex_);
    drainedSignal_.wait_for(lock, kDrainTimeout, [&] { return drained_ >= request; });
  }
  // A grab would catch the poster's keys, freeze the keyboard behind them and release the rest of
  // the chord only with a later answer of ours, which no sequence number could tell from the
  // user's keys. A trigger the user holds gives its release through the raw events instead.
  for (const auto keycode : grabbed_) xcb_ungrab_key(c, keycode, root_, XCB_MOD_MASK_ANY);
  xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
  // The poster's keys come after this marker has been handled, and so carry its number or a
  // later one.
  const auto begin = roundTrip(false);
  std::lock_guard lock(spanMutex_);
  suspended_ = Span{begin, std::nullopt};
}

void X11EventTap::resume() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(spanMutex_);
    if (!suspended_ || suspended_->end) return;
  }
  auto* c = connection_;
  // Unchecked: should another program take a key meanwhile, the tap still watches it unheld.
  for (const auto keycode : grabbed_) {
    xcb_grab_key(c, 0, root_, XCB_MOD_MASK_ANY, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC);
  }
  // Handled before resume() returns, so that anything caused afterwards is seen.
  roundTrip(true);
}

std::uint32_t X11EventTap::roundTrip(bool markEnd) {
  auto* c = connection_;
  xcb_get_input_focus_cookie_t cookie;
  if (markEnd) {
    // Set before the marker can reach the server: no event after it may be taken for ours.
    std::lock_guard lock(spanMutex_);
    cookie = xcb_get_input_focus(c);
    suspended_->end = cookie.sequence;
  } else {
    cookie = xcb_get_input_focus(c);
  }
  std::free(xcb_get_input_focus_reply(c, cookie, nullptr));
  // The reply may have brought the tap's events into xcb's queue, where its poll() cannot see
  // them.
  wake();
  return cookie.sequence;
}

void X11EventTap::wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
}

std::bitset<256> X11EventTap::keysDown() const {
  // Asked once raw events are selected: a key pressed after this answer is seen as an event.
  std::bitset<256> down;
  const XcbPtr<xcb_query_keymap_reply_t> keymap(
      xcb_query_keymap_reply(connection_, xcb_query_keymap(connection_), nullptr));
  if (!keymap) return down;
  for (std::size_t keycode = 0; keycode < down.size(); ++keycode) {
    down[keycode] = (keymap->keys[keycode / 8] >> (keycode % 8)) & 1;
  }
  return down;
}

EventTap::StartResult X11EventTap::connect(const TriggerKey& trigger) {
  int screen = 0;
  connection_ = xcb_connect(display_.empty() ? nullptr : display_.c_str(), &screen);
  if (xcb_connection_has_error(connection_)) return StartResult::unavailable;
  const auto* setup = xcb_get_setup(connection_);
  auto roots = xcb_setup_roots_iterator(setup);
  for (; screen > 0 && roots.rem > 1; --screen) xcb_screen_next(&roots);
  root_ = roots.data->root;
  if (!enableExtensions()) return StartResult::unavailable;

  std::vector<std::uint8_t> keycodes;
  // Fn has no Linux key: such a trigger is watched but can never be pressed.
  for (const auto evdev : KeyCodeTable::evdevCodes(trigger)) {
    const int keycode = evdev + kEvdevOffset;
    if (keycode >= setup->min_keycode && keycode <= setup->max_keycode) {
      keycodes.push_back(std::uint8_t(keycode));
    }
  }
  return grabKeys(keycodes);
}

bool X11EventTap::enableExtensions() {
  auto* c = connection_;
  const auto* xinput = xcb_get_extension_data(c, &xcb_input_id);
  if (!xinput || !xinput->present) return false;
  xinputOpcode_ = xinput->major_opcode;
  const XcbPtr<xcb_input_xi_query_version_reply_t> version(
      xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
  if (!version || version->major_version < 2) return false;

  const XcbPtr<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
      c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
  if (!xkb || !xkb->supported) return false;
  // Otherwise a held key reaches us as release-press pairs, and the first made-up release would
  // end our grab in the middle of the hold.
  constexpr std::uint32_t kDetectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
  const XcbPtr<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
      c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, kDetectable, kDetectable, 0, 0, 0),
      nullptr));
  if (!flags || (flags->value & kDetectable) == 0) return false;

  // Raw events show every transition the grab does not deliver to us.
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t bits;
  } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
         XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
  const XcbPtr<xcb_generic_error_t> error(
      xcb_request_check(c, xcb_input_xi_select_events_checked(c, root_, 1, &mask.head)));
  return !error;
}

EventTap::StartResult X11EventTap::grabKeys(const std::vector<std::uint8_t>& keycodes) {
  std::vector<xcb_void_cookie_t> cookies;
  for (const auto keycode : keycodes) {
    cookies.push_back(xcb_grab_key_checked(connection_, 0, root_, XCB_MOD_MASK_ANY, keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC));
  }
  auto result = StartResult::started;
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    const XcbPtr<xcb_generic_error_t> error(xcb_request_check(connection_, cookies[i]));
    if (!error) {
      grabbed_.push_back(keycodes[i]);
    } else if (result == StartResult::started) {
      result = error->error_code == XCB_ACCESS ? StartResult::keyInUse : StartResult::unavailable;
    }
  }
  return result;
}

void X11EventTap::disconnect() {
  if (!connection_) return;
  auto* c = connection_;
  // An event that arrived frozen after the thread stopped reading goes on to the application.
  xcb_allow_events(c, XCB_ALLOW_REPLAY_KEYBOARD, XCB_CURRENT_TIME);
  for (const auto keycode : grabbed_) xcb_ungrab_key(c, keycode, root_, XCB_MOD_MASK_ANY);
  xcb_flush(c);
  xcb_disconnect(c);
  connection_ = nullptr;
  grabbed_.clear();
}

void X11EventTap::run() {
  auto* c = connection_;
  const int xfd = xcb_get_file_descriptor(c);
  std::uint64_t confirmed = 0;
  for (;;) {
    // Read first: a request made later may concern events that this round does not drain.
    const std::uint64_t requested = drainRequests_;
    // Drained before poll(): events read along with replies already sit in xcb's queue, and
    // poll() would not see them.
    for (;;) {
      const XcbPtr<xcb_generic_event_t> event(xcb_poll_for_event(c));
      if (!event) break;
      if (const auto key = decode(*event, xinputOpcode_)) {
        handle(key->grabbed, key->press, key->keycode, key->time, event->full_sequence);
      }
    }
    if (requested != confirmed) confirmDrained(confirmed = requested);
    // A lost server holds no grab and no frozen keyboard: there is nothing left to answer.
    if (xcb_connection_has_error(c)) return;
    pollfd fds[] = {{wakeFd_, POLLIN, 0}, {xfd, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[0].revents != 0) {
      std::uint64_t count;
      [[maybe_unused]] const auto got = read(wakeFd_, &count, sizeof count);
      if (stopping_) return;
    }
  }
}

void X11EventTap::handle(bool grabbed, bool press, std::uint8_t keycode, std::uint32_t time,
                         std::uint32_t sequence) {
  if (isOwn(sequence)) {
    // Caught just before the grabs were lifted: it goes on as if no grab had caught it.
    if (grabbed) allow(XCB_ALLOW_REPLAY_KEYBOARD);
    return;
  }
  const auto answer = tracker_->handle(grabbed ? Source::grab : Source::raw, press, keycode, time);
  if (answer != Answer::none) allow(allowMode(answer));
}

void X11EventTap::confirmDrained(std::uint64_t request) {
  {
    std::lock_guard lock(spanMutex_);
    drained_ = request;
  }
  drainedSignal_.notify_all();
}

bool X11EventTap::isOwn(std::uint32_t sequence) {
  std::lock_guard lock(spanMutex_);
  if (!suspended_) return false;
  if (suspended_->contains(sequence)) return true;
  if (suspended_->endsBefore(sequence)) suspended_.reset();
  return false;
}

void X11EventTap::allow(std::uint8_t mode) {
  xcb_allow_events(connection_, mode, XCB_CURRENT_TIME);
  xcb_flush(connection_);
}

}  // namespace vellotype
