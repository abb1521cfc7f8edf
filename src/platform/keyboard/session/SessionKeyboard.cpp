#include "platform/keyboard/session/SessionKeyboard.h"

#include <QDBusConnection>

#include "platform/keyboard/evdev/EvdevEventTap.h"
#include "platform/keyboard/portal/PortalKeyboardEvents.h"
#include "platform/keyboard/portal/PortalShortcutTap.h"
#include "platform/keyboard/session/ClipboardBridgeKeyboardEvents.h"
#include "platform/keyboard/session/FirstReadyKeyboardEvents.h"
#include "platform/keyboard/session/FirstStartingEventTap.h"
#include "platform/keyboard/uinput/UinputKeyboardEvents.h"
#include "platform/keyboard/wayland/VirtualKeyboardEvents.h"
#include "platform/keyboard/x11/X11EventTap.h"
#include "platform/keyboard/x11/X11KeyboardEvents.h"

namespace vellotype {
namespace {

constexpr const char* kXWaylandTap = "xwayland";

}  // namespace

SessionKeyboard::SessionKeyboard(bool wayland, Preferences& preferences, MainQueue& mainQueue,
                                 std::function<bool()> clipboardOffered)
    : wayland_(wayland),
      x11Tap_(std::make_unique<X11EventTap>()),
      // The paste keystroke lifts the key filter's grabs while it is typed, so the program
      // never hears its own Control+V.
      x11Keyboard_(std::make_unique<X11KeyboardEvents>(*x11Tap_)) {
  if (wayland_) buildWayland(preferences, mainQueue, std::move(clipboardOffered));
}

SessionKeyboard::~SessionKeyboard() = default;

void SessionKeyboard::buildWayland(Preferences& preferences, MainQueue& mainQueue,
                                   std::function<bool()> clipboardOffered) {
  auto bus = QDBusConnection::sessionBus();
  portalTap_ = std::make_unique<PortalShortcutTap>(bus);
  portalTap_->onProblem = [this](const std::string& problem) {
    if (onHotkeyProblem) onHotkeyProblem(problem);
  };
  portalTap_->onBoundTriggerChanged = [this] {
    if (onBoundHotkeyChanged) onBoundHotkeyChanged();
  };
  evdevTap_ = std::make_unique<EvdevEventTap>();
  waylandTap_ = std::make_unique<FirstStartingEventTap>(
      std::vector<std::pair<std::string, EventTap*>>{{"portal", portalTap_.get()},
                                                     {"devices", evdevTap_.get()},
                                                     {kXWaylandTap, x11Tap_.get()}});

  portalKeyboard_ = std::make_unique<PortalKeyboardEvents>(bus, preferences);
  std::string noVirtualKeyboard;
  virtualKeyboard_ = VirtualKeyboardEvents::create("", noVirtualKeyboard);
  // Made at once, so that the compositor has found the new device by the first paste.
  uinputKeyboard_ = std::make_unique<UinputKeyboardEvents>();
  std::vector<FirstReadyKeyboardEvents::Way> ways;
  ways.push_back({"portal", portalKeyboard_.get(), [this] { return !portalKeyboard_->problem(); }});
  if (virtualKeyboard_) ways.push_back({"virtual keyboard", virtualKeyboard_.get(), {}});
  if (uinputKeyboard_->isAvailable()) ways.push_back({"uinput", uinputKeyboard_.get(), {}});
  ways.push_back({kXWaylandTap, x11Keyboard_.get(), {}});
  waylandKeyboard_ = std::make_unique<FirstReadyKeyboardEvents>(std::move(ways));
  bridgedKeyboard_ = std::make_unique<ClipboardBridgeKeyboardEvents>(*waylandKeyboard_, mainQueue,
                                                                     std::move(clipboardOffered));
}

EventTap& SessionKeyboard::eventTap() {
  return wayland_ ? static_cast<EventTap&>(*waylandTap_) : *x11Tap_;
}

KeyboardEvents& SessionKeyboard::keyboardEvents() {
  return wayland_ ? static_cast<KeyboardEvents&>(*bridgedKeyboard_) : *x11Keyboard_;
}

std::optional<std::string> SessionKeyboard::boundHotkeyName() const {
  if (!portalTap_ || waylandTap_->activeName() != "portal") return std::nullopt;
  return portalTap_->boundTriggerDescription();
}

std::optional<std::string> SessionKeyboard::limitation() const {
  if (!wayland_) return std::nullopt;
  std::string text;
  const auto tap = waylandTap_->activeName();
  if (tap.empty() || tap == kXWaylandTap) {
    text +=
        "Vellotype hears its hotkey only while an X11 application has the keyboard focus. To "
        "hear it everywhere, either:\n\n"
        "\u2022 use a desktop that lets applications have global shortcuts (KDE Plasma 5.27 or "
        "later, GNOME 48 or later, Hyprland) with its desktop portal running; or\n"
        "\u2022 join the input group (sudo usermod -aG input $USER, then log out and in again). "
        "Vellotype then reads the keyboard itself; so may any program you run, so do this only "
        "on a computer you alone use.\n";
    if (!evdevTap_->lastProblem().empty()) text += "\n" + evdevTap_->lastProblem() + "\n";
  }
  if (waylandKeyboard_->readyName() == kXWaylandTap && !portalKeyboard_->hasPortal()) {
    text += std::string(text.empty() ? "" : "\n") +
            "Vellotype types its text only into X11 applications: allow it to control the "
            "keyboard when the desktop asks, or give it /dev/uinput (see \"Wayland\" in the "
            "README). Elsewhere your text waits on the clipboard.";
  }
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace vellotype
