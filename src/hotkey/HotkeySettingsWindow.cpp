#include "hotkey/HotkeySettingsWindow.h"

#include "hotkey/TriggerKeyCapture.h"
#include "hotkey/TriggerKeyPreferences.h"

namespace vellotype {
namespace {

using TextColor = HotkeySettingsView::TextColor;

constexpr std::uint16_t kEscapeKeyCode = 53;

HotkeySettingsView::Layout layout() {
  return {
      .title = "Hotkey Settings",
      .contentWidth = 420,
      .contentHeight = 180,
      .currentKeyCaption = "Current hotkey:",
      .currentKeyFont = {.size = 16, .semibold = true},
      .statusFont = {.size = 12, .semibold = false},
      .statusMaxLines = 2,
      .buttonTitles = {"Record Hotkey", "Reset to Control", "Done"},
      .gridTop = 24,
      .sideMargin = 24,
      .gridRowSpacing = 12,
      .gridColumnSpacing = 8,
      .statusTop = 18,
      .buttonsTop = 22,
      .bottomMargin = 20,
      .buttonSpacing = 8,
  };
}

}  // namespace

HotkeySettingsWindow::HotkeySettingsWindow(Preferences& preferences,
                                           std::unique_ptr<HotkeySettingsView> view)
    : preferences_(preferences), view_(std::move(view)) {
  view_->build(layout());
  // The view belongs to this object and dies with it, so its callbacks may hold `this`.
  view_->onRecord = [this] { startCapture(); };
  view_->onReset = [this] { resetToDefault(); };
  view_->onDone = [this] { close(); };
  view_->onCloseButton = [this] { close(); };
  reload();
  view_->center();
}

void HotkeySettingsWindow::reload() {
  view_->setCurrentKeyText(TriggerKeyPreferences::load(preferences_).displayName);
  view_->setStatus("Click Record, then press the key you want to hold for voice input.",
                   TextColor::secondaryLabel);
}

void HotkeySettingsWindow::makeKeyAndOrderFront() { view_->makeKeyAndOrderFront(); }

void HotkeySettingsWindow::startCapture() {
  if (isCapturing_) return;
  isCapturing_ = true;
  view_->setStatus("Press a modifier or key now. Escape cancels.", TextColor::systemBlue);
  // The capture is program-wide and may hand over an event after this object is gone.
  view_->installCapture([weak = weak_from_this()](const KeyEvent& event) {
    const auto self = weak.lock();
    return self && self->handleCaptured(event);
  });
}

bool HotkeySettingsWindow::handleCaptured(const KeyEvent& event) {
  if (!isCapturing_) return false;
  if (event.type != KeyEvent::Type::keyDown && event.type != KeyEvent::Type::flagsChanged) {
    return false;
  }
  if (event.type == KeyEvent::Type::keyDown && event.keyCode == kEscapeKeyCode) {
    endCapture();
    view_->setStatus("Capture cancelled.", TextColor::secondaryLabel);
    return true;
  }
  if (const auto key = TriggerKeyCapture::captured(event)) apply(*key);
  return true;
}

void HotkeySettingsWindow::resetToDefault() { apply(TriggerKey::defaultKey()); }

void HotkeySettingsWindow::apply(const TriggerKey& key) {
  TriggerKeyPreferences::save(key, preferences_);
  view_->setCurrentKeyText(key.displayName);
  view_->setStatus(
      "Saved. Hold " + key.displayName + " to start voice input, release it to finish.",
      TextColor::systemGreen);
  endCapture();
  if (onHotkeyChanged) onHotkeyChanged(key);
}

void HotkeySettingsWindow::endCapture() {
  if (!isCapturing_) return;
  isCapturing_ = false;
  view_->removeCapture();
}

void HotkeySettingsWindow::close() {
  endCapture();
  view_->orderOut();
  if (onClosed) onClosed();
}

}  // namespace vellotype
