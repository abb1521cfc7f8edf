#include "platform/wayland/DataControlPasteboard.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/wayland/SeatGlobals.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace vellotype {
namespace {

using Self = DataControlPasteboard;

const char* const kTextTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING",
                                  "TEXT"};

void onOfferType(void* self, zwlr_data_control_offer_v1* offer, const char* type) {
  static_cast<Self*>(self)->offeredType(offer, type);
}
constexpr zwlr_data_control_offer_v1_listener kOfferListener{onOfferType};

void onDataOffer(void* self, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, self);
  static_cast<Self*>(self)->offered(offer);
}
void onSelection(void* self, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
  static_cast<Self*>(self)->selected(offer);
}
void onFinished(void*, zwlr_data_control_device_v1*) {}
constexpr zwlr_data_control_device_v1_listener kDeviceListener{onDataOffer, onSelection,
                                                               onFinished};

void onSend(void* self, zwlr_data_control_source_v1* source, const char* type, int fd) {
  static_cast<Self*>(self)->sendRequested(source, type, fd);
}
void onCancelled(void* self, zwlr_data_control_source_v1* source) {
  static_cast<Self*>(self)->cancelled(source);
}
constexpr zwlr_data_control_source_v1_listener kSourceListener{onSend, onCancelled};

// Plain text first: when the owner is slow, it is what is most worth keeping.
int rank(const std::string& type) {
  const auto* found = std::find(std::begin(kTextTypes), std::end(kTextTypes), type);
  return int(found - std::begin(kTextTypes));
}

}  // namespace

std::unique_ptr<DataControlPasteboard> DataControlPasteboard::create(const std::string& display,
                                                                     std::string& error) {
  auto* connection = wl_display_connect(display.empty() ? nullptr : display.c_str());
  if (!connection) {
    const char* name = display.empty() ? std::getenv("WAYLAND_DISPLAY") : display.c_str();
    error = std::string("no Wayland compositor answers at ") + (name ? name : "wayland-0");
    return nullptr;
  }
  std::unique_ptr<DataControlPasteboard> pasteboard(new DataControlPasteboard(connection));
  error = pasteboard->bind();
  if (!error.empty()) return nullptr;
  return pasteboard;
}

DataControlPasteboard::DataControlPasteboard(wl_display* connection) : connection_(connection) {}

DataControlPasteboard::~DataControlPasteboard() {
  notifier_.reset();
  dropOffer(selection_.offer);
  dropOffer(incoming_.offer);
  if (source_) zwlr_data_control_source_v1_destroy(source_);
  if (device_) zwlr_data_control_device_v1_destroy(device_);
  if (manager_) zwlr_data_control_manager_v1_destroy(manager_);
  if (seat_) wl_seat_destroy(seat_);
  wl_display_disconnect(connection_);
}

std::string DataControlPasteboard::bind() {
  if (!bindSeatGlobals(connection_, zwlr_data_control_manager_v1_interface, seat_, manager_))
    return "the Wayland compositor closed the connection";
  if (!seat_) return "the Wayland compositor has no seat";
  if (!manager_) return "the Wayland compositor offers no data control";
  device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat_);
  zwlr_data_control_device_v1_add_listener(device_, &kDeviceListener, this);
  // The current selection arrives at once: it is the clipboard as the program finds it.
  if (wl_display_roundtrip(connection_) < 0) return "the Wayland compositor closed the connection";
  notifier_ =
      std::make_unique<QSocketNotifier>(wl_display_get_fd(connection_), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { dispatch(); });
  return {};
}

void DataControlPasteboard::dispatch() {
  if (wl_display_dispatch(connection_) < 0) {
    // The compositor went: the program's clipboard goes with it.
    notifier_->setEnabled(false);
    return;
  }
  flush();
}

void DataControlPasteboard::flush() { wl_display_flush(connection_); }

PasteboardContents DataControlPasteboard::contents() {
  // Events not yet read may say the clipboard changed hands.
  wl_display_roundtrip(connection_);
  if (source_) return owned_;
  if (!selection_.offer) return {};
  auto types = selection_.mimeTypes;
  std::stable_sort(types.begin(), types.end(),
                   [](const auto& a, const auto& b) { return rank(a) < rank(b); });
  const auto until = std::chrono::steady_clock::now() + kReadBound;
  PasteboardContents contents;
  for (const auto& type : types) {
    if (std::chrono::steady_clock::now() >= until) break;
    auto bytes = readType(type, until);
    contents.items.emplace_back(type, std::move(bytes));
  }
  return contents;
}

std::string DataControlPasteboard::readType(const std::string& mimeType,
                                            std::chrono::steady_clock::time_point until) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  zwlr_data_control_offer_v1_receive(selection_.offer, mimeType.c_str(), fds[1]);
  close(fds[1]);
  flush();
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    pollfd readable{fds[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&readable, 1, int(left.count())) <= 0) break;
    const auto count = read(fds[0], buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    bytes.append(buffer, std::size_t(count));
  }
  close(fds[0]);
  return bytes;
}

void DataControlPasteboard::setContents(const PasteboardContents& contents) {
  own(contents, false);
}

void DataControlPasteboard::setString(const std::string& text) {
  PasteboardContents contents;
  for (const auto* type : kTextTypes) contents.items.emplace_back(type, text);
  own(std::move(contents), true);
}

void DataControlPasteboard::own(PasteboardContents contents, bool trackReads) {
  // Replaced before it goes: a source destroyed while it is the selection empties the clipboard
  // first, a change of its own.
  auto* const previous = std::exchange(source_, nullptr);
  owned_ = std::move(contents);
  trackReads_ = trackReads;
  read_ = false;
  ++changeCount_;
  if (owned_.items.empty()) {
    zwlr_data_control_device_v1_set_selection(device_, nullptr);
  } else {
    source_ = zwlr_data_control_manager_v1_create_data_source(manager_);
    zwlr_data_control_source_v1_add_listener(source_, &kSourceListener, this);
    for (const auto& [type, bytes] : owned_.items) {
      zwlr_data_control_source_v1_offer(source_, type.c_str());
    }
    zwlr_data_control_device_v1_set_selection(device_, source_);
  }
  if (previous) zwlr_data_control_source_v1_destroy(previous);
  ++echoesDue_;
  // Once the compositor has answered, every application has been told of the new clipboard, so
  // a paste keystroke sent after this pastes it.
  wl_display_roundtrip(connection_);
}

bool DataControlPasteboard::textWasRead() const { return source_ && trackReads_ && read_; }

void DataControlPasteboard::offered(zwlr_data_control_offer_v1* offer) {
  dropOffer(incoming_.offer);
  incoming_ = {offer, {}};
}

void DataControlPasteboard::offeredType(zwlr_data_control_offer_v1* offer, std::string mimeType) {
  if (offer == incoming_.offer) incoming_.mimeTypes.push_back(std::move(mimeType));
}

void DataControlPasteboard::selected(zwlr_data_control_offer_v1* offer) {
  dropOffer(selection_.offer);
  if (offer && offer == incoming_.offer) {
    selection_ = incoming_;
    incoming_ = {};
  } else {
    selection_ = {};
    if (offer) zwlr_data_control_offer_v1_destroy(offer);
  }
  if (echoesDue_ > 0) {
    --echoesDue_;
  } else {
    ++changeCount_;
  }
}

void DataControlPasteboard::sendRequested(zwlr_data_control_source_v1* source,
                                          const std::string& mimeType, int fd) {
  const auto item = std::find_if(owned_.items.begin(), owned_.items.end(),
                                 [&](const auto& item) { return item.first == mimeType; });
  if (source != source_ || item == owned_.items.end()) {
    close(fd);
    return;
  }
  read_ = true;
  // A reader that stops reading must not stop the program: the writing happens beside it.
  std::thread([fd, bytes = item->second] {
    // A reader that went away makes the write fail instead of ending the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      const auto written = write(fd, data, left);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) break;
      data += written;
      left -= std::size_t(written);
    }
    close(fd);
  }).detach();
}

void DataControlPasteboard::cancelled(zwlr_data_control_source_v1* source) {
  if (source != source_) return;
  zwlr_data_control_source_v1_destroy(source_);
  source_ = nullptr;
  owned_ = {};
}

void DataControlPasteboard::dropOffer(zwlr_data_control_offer_v1*& offer) {
  if (offer) zwlr_data_control_offer_v1_destroy(offer);
  offer = nullptr;
}

}  // namespace vellotype
