#pragma once
// The trigger key on Wayland through the XDG desktop portal's global shortcuts: one shortcut,
// bound in a session of the portal, whose activation and deactivation are the trigger's press
// and release. Main thread only: the portal's answers and signals arrive on its event loop, and
// the filter runs there. Owned by the composition root.

#include <QDBusConnection>
#include <QDBusMessage>
#include <functional>
#include <optional>
#include <string>

#include "platform/EventTap.h"
#include "platform/keyboard/portal/PortalCalls.h"
#include "platform/keyboard/portal/PortalKeysyms.h"

namespace vellotype {

class PortalShortcutTap : public EventTap {
 public:
  // The id the desktop's shortcut settings keep the binding under, and what they show for it.
  static constexpr const char* kShortcutId = "hold-to-talk";
  static constexpr const char* kShortcutDescription = "Hold to talk (Vellotype)";

  explicit PortalShortcutTap(QDBusConnection bus);
  ~PortalShortcutTap() override;

  // `started` once the portal has been asked, `unavailable` when the desktop has no global
  // shortcuts portal. The user's answer comes later: a refusal through onProblem.
  StartResult start(const TriggerKey& trigger, Filter filter) override;
  // Closes the portal session.
  void stop() override;

  // How the desktop says the shortcut is triggered: the key the user really holds, which the
  // desktop chooses. Nothing until it has bound the shortcut.
  const std::optional<std::string>& boundTriggerDescription() const { return boundTrigger_; }

  // A ready-to-show text when the hotkey cannot work: refused, not bound, or ended.
  std::function<void(const std::string&)> onProblem;
  std::function<void()> onBoundTriggerChanged;

 private:
  void sessionCreated(const PortalCalls::Answer& answer);
  void shortcutsBound(const PortalCalls::Answer& answer);
  void signalled(const QDBusMessage& message);
  // False when the shortcuts do not include ours.
  bool updateBoundTrigger(const QVariant& shortcuts);
  void hold(bool held);
  void report(const std::string& problem);

  PortalCalls calls_;
  PortalKeysyms keysyms_;
  PortalSignalRelay relay_;
  TriggerKey trigger_;
  Filter filter_;
  QString session_;
  bool held_ = false;
  std::optional<std::string> boundTrigger_;
};

}  // namespace vellotype
