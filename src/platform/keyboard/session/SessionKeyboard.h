#pragma once
// The keyboard as this desktop session lets the program reach it. On X11: the X server's key
// filter and XTest. On Wayland, for the hotkey, the first of the desktop's global shortcuts
// portal, the kernel's input devices and XWayland that starts; for the paste, the first of the
// remote desktop portal, the compositor's virtual keyboard, the kernel's uinput and XWayland
// that is ready. Main thread only; made by the composition root after the QApplication, kept.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/EventTap.h"
#include "platform/KeyboardEvents.h"
#include "platform/MainQueue.h"
#include "platform/Preferences.h"

namespace vellotype {

class ClipboardBridgeKeyboardEvents;
class EvdevEventTap;
class FirstReadyKeyboardEvents;
class FirstStartingEventTap;
class PortalKeyboardEvents;
class PortalShortcutTap;
class UinputKeyboardEvents;
class VirtualKeyboardEvents;
class X11EventTap;
class X11KeyboardEvents;

class SessionKeyboard {
 public:
  // `clipboardOffered`: whether the compositor has seen what the clipboard holds now (see
  // ClipboardBridgeKeyboardEvents).
  SessionKeyboard(bool wayland, Preferences& preferences, MainQueue& mainQueue,
                  std::function<bool()> clipboardOffered);
  ~SessionKeyboard();
  SessionKeyboard(const SessionKeyboard&) = delete;
  SessionKeyboard& operator=(const SessionKeyboard&) = delete;

  EventTap& eventTap();
  KeyboardEvents& keyboardEvents();

  // On Wayland, when the hotkey or the paste reach X11 applications alone: what works, and the
  // ways to make it work everywhere, ready to show. Nothing when they reach every application.
  std::optional<std::string> limitation() const;
  // The key the desktop bound for the hotkey, when the desktop chose it (its shortcuts portal).
  std::optional<std::string> boundHotkeyName() const;

  // The desktop refused or ended the hotkey's shortcut: why, ready to show.
  std::function<void(const std::string& problem)> onHotkeyProblem;
  // The desktop bound the hotkey to another key than before.
  std::function<void()> onBoundHotkeyChanged;

 private:
  void buildWayland(Preferences& preferences, MainQueue& mainQueue,
                    std::function<bool()> clipboardOffered);

  bool wayland_;
  std::unique_ptr<X11EventTap> x11Tap_;
  std::unique_ptr<X11KeyboardEvents> x11Keyboard_;
  std::unique_ptr<PortalShortcutTap> portalTap_;
  std::unique_ptr<EvdevEventTap> evdevTap_;
  std::unique_ptr<FirstStartingEventTap> waylandTap_;
  std::unique_ptr<PortalKeyboardEvents> portalKeyboard_;
  std::unique_ptr<VirtualKeyboardEvents> virtualKeyboard_;
  std::unique_ptr<UinputKeyboardEvents> uinputKeyboard_;
  std::unique_ptr<FirstReadyKeyboardEvents> waylandKeyboard_;
  std::unique_ptr<ClipboardBridgeKeyboardEvents> bridgedKeyboard_;
};

}  // namespace vellotype
