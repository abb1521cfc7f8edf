#pragma once
// The Wayland clipboard through the compositor's data-control protocol (wlroots compositors, KDE
// Plasma), on a connection of its own that the Qt event loop watches. Unlike the XWayland bridge,
// which lets an X11 client touch the clipboard only while one of its windows has the focus, it
// reads and sets the clipboard whatever has the focus. Main thread only; owned by the
// composition root.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/Pasteboard.h"

class QSocketNotifier;
struct wl_display;
struct wl_seat;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace vellotype {

class DataControlPasteboard : public Pasteboard {
 public:
  // `display` as wl_display_connect takes it; empty means $WAYLAND_DISPLAY. Nothing when no
  // compositor answers there or it offers no data control; `error` then says why.
  static std::unique_ptr<DataControlPasteboard> create(const std::string& display,
                                                       std::string& error);
  ~DataControlPasteboard() override;
  DataControlPasteboard(const DataControlPasteboard&) = delete;
  DataControlPasteboard& operator=(const DataControlPasteboard&) = delete;

  PasteboardContents contents() override;
  void setContents(const PasteboardContents& contents) override;
  void setString(const std::string& text) override;
  bool textWasRead() const override;
  std::int64_t changeCount() const override { return changeCount_; }

  // The protocol's events, from the listeners.
  struct Offer {
    zwlr_data_control_offer_v1* offer;
    std::vector<std::string> mimeTypes;
  };
  void offered(zwlr_data_control_offer_v1* offer);
  void offeredType(zwlr_data_control_offer_v1* offer, std::string mimeType);
  void selected(zwlr_data_control_offer_v1* offer);
  void sendRequested(zwlr_data_control_source_v1* source, const std::string& mimeType, int fd);
  void cancelled(zwlr_data_control_source_v1* source);

 private:
  explicit DataControlPasteboard(wl_display* connection);
  std::string bind();
  void dispatch();
  void flush();
  void own(PasteboardContents contents, bool trackReads);
  std::string readType(const std::string& mimeType, std::chrono::steady_clock::time_point until);
  void dropOffer(zwlr_data_control_offer_v1*& offer);

  wl_display* connection_;
  wl_seat* seat_ = nullptr;
  zwlr_data_control_manager_v1* manager_ = nullptr;
  zwlr_data_control_device_v1* device_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;

  // What the clipboard holds when another client owns it, and an offer announced but not yet
  // made the selection.
  Offer selection_{};
  Offer incoming_{};
  // What this program put there, while it is still there.
  zwlr_data_control_source_v1* source_ = nullptr;
  PasteboardContents owned_;
  bool trackReads_ = false;
  bool read_ = false;
  // The compositor echoes each of the program's own sets as a selection event: those are not
  // changes.
  int echoesDue_ = 0;
  std::int64_t changeCount_ = 0;
};

}  // namespace vellotype
