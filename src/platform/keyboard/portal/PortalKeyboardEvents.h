#pragma once
// The paste keystroke on Wayland through the XDG desktop portal's remote desktop: a session with
// the keyboard alone, asked for once and restored from then on, whose key presses the compositor
// delivers to the focused application. Main thread only; owned by the composition root.

#include <QDBusConnection>
#include <QDBusMessage>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/KeyboardEvents.h"
#include "platform/Preferences.h"
#include "platform/keyboard/portal/PortalCalls.h"
#include "platform/keyboard/portal/PortalKeysyms.h"

namespace vellotype {

class PortalKeyboardEvents : public KeyboardEvents {
 public:
  // Asks for the keyboard at once, so that no paste waits for the desktop's dialog.
  PortalKeyboardEvents(QDBusConnection bus, Preferences& preferences);
  ~PortalKeyboardEvents() override;

  // Why no keystroke can be sent now, ready to show; nothing once the keyboard is granted.
  const std::optional<std::string>& problem() const { return problem_; }
  // False when the desktop has no remote desktop portal at all.
  bool hasPortal() const { return hasPortal_; }

  // The portal does not say which window has the focus.
  std::vector<std::string> focusedWindowClasses() override { return {}; }
  // Sends nothing, and tells onProblem why, until the keyboard is granted.
  void postKeyChord(std::uint16_t keyCode, std::uint64_t flags) override;

  std::function<void(const std::string&)> onProblem;

 private:
  void prepare();
  void sessionCreated(const PortalCalls::Answer& answer);
  void started(const PortalCalls::Answer& answer);
  void sessionClosed(const QDBusMessage& message);
  void press(std::uint32_t keysym, bool pressed, const std::shared_ptr<bool>& reported);
  void fail(const std::string& problem);
  void report(const std::string& problem);

  Preferences& preferences_;
  PortalCalls calls_;
  PortalKeysyms keysyms_;
  PortalSignalRelay relay_;
  QString session_;
  bool renewable_ = false;  // the session ended without the user refusing it
  std::optional<std::string> problem_;
  bool hasPortal_ = false;
};

}  // namespace vellotype
