#include "platform/keyboard/portal/PortalShortcutTap.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>

namespace vellotype {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
constexpr const char* kAskAgain = " Turn Vellotype off and on again to be asked again.";

// Shortcuts as the portal passes them: (id, properties) pairs.
using Shortcuts = QList<QPair<QString, QVariantMap>>;

std::string problemWith(const PortalCalls::Answer& answer) {
  if (answer.outcome == PortalCalls::Outcome::cancelled) {
    return std::string("The desktop's shortcut dialog was cancelled: holding a key does nothing.") +
           kAskAgain;
  }
  std::string problem = "The desktop could not set up Vellotype's hotkey";
  if (!answer.error.isEmpty()) problem += " (" + answer.error.toStdString() + ")";
  return problem + "." + kAskAgain;
}

QString sessionIn(const QVariant& argument) {
  return qvariant_cast<QDBusObjectPath>(argument).path();
}

}  // namespace

PortalShortcutTap::PortalShortcutTap(QDBusConnection bus)
    : calls_(bus), relay_(bus, [this](const QDBusMessage& message) { signalled(message); }) {
  qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
  qDBusRegisterMetaType<Shortcuts>();
  for (const char* name : {"Activated", "Deactivated", "ShortcutsChanged"}) {
    relay_.listen(kInterface, QString::fromLatin1(name));
  }
  relay_.listen(kSession, QStringLiteral("Closed"));
}

PortalShortcutTap::~PortalShortcutTap() { stop(); }

EventTap::StartResult PortalShortcutTap::start(const TriggerKey& trigger, Filter filter) {
  // A session binds its shortcuts once: a new trigger needs a new session.
  stop();
  if (!calls_.version(kInterface)) return StartResult::unavailable;
  trigger_ = trigger;
  filter_ = std::move(filter);
  boundTrigger_.reset();
  calls_.request(kInterface, QStringLiteral("CreateSession"), {},
                 {{QStringLiteral("session_handle_token"), PortalCalls::newToken()}},
                 [this](const PortalCalls::Answer& answer) { sessionCreated(answer); });
  return StartResult::started;
}

void PortalShortcutTap::stop() {
  calls_.cancelAll();
  if (!session_.isEmpty()) calls_.call(session_, kSession, QStringLiteral("Close"), {});
  session_.clear();
  filter_ = nullptr;
  held_ = false;
}

void PortalShortcutTap::sessionCreated(const PortalCalls::Answer& answer) {
  if (answer.outcome != PortalCalls::Outcome::success) return report(problemWith(answer));
  session_ = PortalCalls::sessionHandleIn(answer.results);
  QVariantMap shortcut{{QStringLiteral("description"), QString::fromUtf8(kShortcutDescription)}};
  // Without a name for the key the desktop lets the user choose one.
  if (const auto name = keysyms_.name(PortalKeysyms::keyCode(trigger_))) {
    shortcut.insert(QStringLiteral("preferred_trigger"), QString::fromStdString(*name));
  }
  const Shortcuts shortcuts{{QString::fromLatin1(kShortcutId), shortcut}};
  calls_.request(
      kInterface, QStringLiteral("BindShortcuts"),
      {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(shortcuts), QString()},
      {}, [this](const PortalCalls::Answer& answer) { shortcutsBound(answer); });
}

void PortalShortcutTap::shortcutsBound(const PortalCalls::Answer& answer) {
  if (answer.outcome != PortalCalls::Outcome::success) return report(problemWith(answer));
  if (!updateBoundTrigger(answer.results.value(QStringLiteral("shortcuts")))) {
    report(std::string("The desktop bound no key to Vellotype's hotkey: choose one for \"") +
           kShortcutDescription + "\" in the desktop's keyboard shortcut settings.");
  }
}

void PortalShortcutTap::signalled(const QDBusMessage& message) {
  const auto& arguments = message.arguments();
  if (message.interface() == kSession) {
    if (session_.isEmpty() || message.path() != session_) return;
    session_.clear();
    hold(false);
    return report(std::string("The desktop ended Vellotype's hotkey: holding a key does nothing.") +
                  kAskAgain);
  }
  if (arguments.size() < 2 || session_.isEmpty() || sessionIn(arguments.at(0)) != session_) return;
  if (message.member() == QStringLiteral("ShortcutsChanged")) {
    updateBoundTrigger(arguments.at(1));
  } else if (arguments.at(1).toString() == QString::fromLatin1(kShortcutId)) {
    hold(message.member() == QStringLiteral("Activated"));
  }
}

bool PortalShortcutTap::updateBoundTrigger(const QVariant& shortcuts) {
  if (shortcuts.metaType() != QMetaType::fromType<QDBusArgument>()) return false;
  for (const auto& [id, properties] : qdbus_cast<Shortcuts>(shortcuts)) {
    if (id != QString::fromLatin1(kShortcutId)) continue;
    const auto description = properties.value(QStringLiteral("trigger_description")).toString();
    boundTrigger_ = description.isEmpty() ? std::nullopt : std::optional(description.toStdString());
    if (onBoundTriggerChanged) onBoundTriggerChanged();
    return true;
  }
  return false;
}

void PortalShortcutTap::hold(bool held) {
  // The portal may repeat itself; the key monitor reads a second press of a one-sided modifier
  // as its release.
  if (held == held_ || !filter_) return;
  held_ = held;
  // The desktop has taken the key already: what the filter answers changes nothing.
  KeyEvent event;
  event.keyCode = PortalKeysyms::keyCode(trigger_);
  if (trigger_.kind == TriggerKey::Kind::keyCode) {
    event.type = held ? KeyEvent::Type::keyDown : KeyEvent::Type::keyUp;
  } else if (trigger_.modifier) {
    event.type = KeyEvent::Type::flagsChanged;
    event.modifierFlags = held ? flagMask(*trigger_.modifier) : 0;
  }
  filter_(event);
}

void PortalShortcutTap::report(const std::string& problem) {
  if (onProblem) onProblem(problem);
}

}  // namespace vellotype
