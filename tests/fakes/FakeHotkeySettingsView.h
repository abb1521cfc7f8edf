#pragma once
// A hotkey settings window that keeps what it was told and records each change in `calls`, so
// a test can see the order of saving, announcing and ending a capture. It holds the installed
// capture for the test to hand events to.

#include <string>
#include <vector>

#include "hotkey/HotkeySettingsView.h"

namespace vellotype {

class FakeHotkeySettingsView : public HotkeySettingsView {
 public:
  explicit FakeHotkeySettingsView(std::vector<std::string>& calls) : calls_(calls) {}

  void build(const Layout&) override {}
  void center() override {}
  void setCurrentKeyText(const std::string& text) override {
    currentKey = text;
    calls_.push_back("key: " + text);
  }
  void setStatus(const std::string& text, TextColor color) override {
    status = text;
    statusColor = color;
    calls_.push_back("status: " + text);
  }
  void installCapture(CaptureHandler handler) override {
    capture = std::move(handler);
    calls_.push_back("install capture");
  }
  void removeCapture() override {
    capture = nullptr;
    calls_.push_back("remove capture");
  }
  void makeKeyAndOrderFront() override {}
  void orderOut() override { calls_.push_back("order out"); }

  // What an installed capture says about the event; false when none is installed.
  bool send(const KeyEvent& event) const { return capture && capture(event); }

  std::string currentKey;
  std::string status;
  TextColor statusColor = TextColor::label;
  CaptureHandler capture;

 private:
  std::vector<std::string>& calls_;
};

}  // namespace vellotype
