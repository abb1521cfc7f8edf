#include "platform/keyboard/portal/PortalKeyboardEvents.h"

#include <QDBusObjectPath>
#include <array>

#include "platform/PreferenceKeys.h"

namespace vellotype {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
constexpr std::uint32_t kKeyboard = 1;
constexpr std::uint32_t kPersistUntilRevoked = 2;
const std::string kOnClipboard = " Your text is on the clipboard: paste it with Control+V.";
const std::string kWaiting =
    "Vellotype is waiting for the desktop's permission to type into other applications: answer "
    "its dialog." +
    kOnClipboard;

constexpr std::array<TriggerKey::Modifier, 4> kChordModifiers = {
    TriggerKey::Modifier::control, TriggerKey::Modifier::option, TriggerKey::Modifier::shift,
    TriggerKey::Modifier::command};

std::string problemWith(const PortalCalls::Answer& answer) {
  if (answer.outcome == PortalCalls::Outcome::cancelled) {
    return "Vellotype was not allowed to type into other applications." + kOnClipboard;
  }
  std::string problem = "The desktop could not let Vellotype type into other applications";
  if (!answer.error.isEmpty()) problem += " (" + answer.error.toStdString() + ")";
  return problem + "." + kOnClipboard;
}

}  // namespace

PortalKeyboardEvents::PortalKeyboardEvents(QDBusConnection bus, Preferences& preferences)
    : preferences_(preferences),
      calls_(bus),
      relay_(bus, [this](const QDBusMessage& message) { sessionClosed(message); }) {
  relay_.listen(kSession, QStringLiteral("Closed"));
  prepare();
}

PortalKeyboardEvents::~PortalKeyboardEvents() {
  calls_.cancelAll();
  if (!session_.isEmpty()) calls_.call(session_, kSession, QStringLiteral("Close"), {});
}

void PortalKeyboardEvents::prepare() {
  hasPortal_ = calls_.version(kInterface).has_value();
  if (!hasPortal_) {
    problem_ =
        "This desktop has no remote desktop portal, through which Vellotype types into "
        "other applications." +
        kOnClipboard;
    return;
  }
  problem_ = kWaiting;
  renewable_ = false;
  calls_.request(kInterface, QStringLiteral("CreateSession"), {},
                 {{QStringLiteral("session_handle_token"), PortalCalls::newToken()}},
                 [this](const PortalCalls::Answer& answer) { sessionCreated(answer); });
}

void PortalKeyboardEvents::postKeyChord(std::uint16_t keyCode, std::uint64_t flags) {
  if (problem_) {
    report(*problem_);
    // An ended session is asked for again, for the next paste; a refusal stands.
    if (renewable_) prepare();
    return;
  }
  // Keysyms, not key codes: the compositor presses whichever key types "v" in the user's layout,
  // where the key at the V position may type another letter.
  const auto key = keysyms_.keysym(keyCode);
  if (!key) {
    return report("Vellotype found no keyboard data (xkb-data) to name the keys it presses." +
                  kOnClipboard);
  }
  std::vector<std::uint32_t> modifiers;
  for (const auto modifier : kChordModifiers) {
    const auto keysym = keysyms_.keysym(PortalKeysyms::leftKeyCode(modifier));
    if ((flags & flagMask(modifier)) != 0 && keysym) modifiers.push_back(*keysym);
  }
  // The portal has one call per key change; the bus keeps them in order. Modifiers go up last,
  // so that none is left down.
  const auto reported = std::make_shared<bool>(false);
  for (const auto modifier : modifiers) press(modifier, true, reported);
  press(*key, true, reported);
  press(*key, false, reported);
  for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
    press(*modifier, false, reported);
  }
}

void PortalKeyboardEvents::sessionCreated(const PortalCalls::Answer& answer) {
  if (answer.outcome != PortalCalls::Outcome::success) return fail(problemWith(answer));
  session_ = PortalCalls::sessionHandleIn(answer.results);
  // Kept until revoked, and restored from the token, so that the user is asked once, not at every
  // start.
  QVariantMap options{{QStringLiteral("types"), kKeyboard},
                      {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
  if (const auto token = preferences_.stringValue(prefs::kRemoteDesktopRestoreToken)) {
    options.insert(QStringLiteral("restore_token"), QString::fromStdString(*token));
  }
  calls_.request(kInterface, QStringLiteral("SelectDevices"),
                 {QVariant::fromValue(QDBusObjectPath(session_))}, options,
                 [this](const PortalCalls::Answer& selected) {
                   if (selected.outcome != PortalCalls::Outcome::success) {
                     return fail(problemWith(selected));
                   }
                   calls_.request(kInterface, QStringLiteral("Start"),
                                  {QVariant::fromValue(QDBusObjectPath(session_)), QString()}, {},
                                  [this](const PortalCalls::Answer& start) { started(start); });
                 });
}

void PortalKeyboardEvents::started(const PortalCalls::Answer& answer) {
  if (answer.outcome != PortalCalls::Outcome::success) return fail(problemWith(answer));
  // Each token works once: the one that restored this session is spent.
  const auto token = answer.results.value(QStringLiteral("restore_token")).toString();
  if (!token.isEmpty()) {
    preferences_.setString(prefs::kRemoteDesktopRestoreToken, token.toStdString());
  }
  if ((answer.results.value(QStringLiteral("devices")).toUInt() & kKeyboard) == 0) {
    return fail("The desktop did not give Vellotype the keyboard to type into other applications." +
                kOnClipboard);
  }
  problem_.reset();
}

void PortalKeyboardEvents::sessionClosed(const QDBusMessage& message) {
  if (session_.isEmpty() || message.path() != session_) return;
  session_.clear();
  fail("The desktop ended Vellotype's permission to type into other applications." + kOnClipboard);
  renewable_ = true;
}

void PortalKeyboardEvents::press(std::uint32_t keysym, bool pressed,
                                 const std::shared_ptr<bool>& reported) {
  calls_.call(kPath, kInterface, QStringLiteral("NotifyKeyboardKeysym"),
              {QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap(), int(keysym),
               std::uint32_t(pressed ? 1 : 0)},
              [this, reported, session = session_](const QString& error) {
                if (*reported) return;
                *reported = true;
                report("The desktop did not take Vellotype's keystroke (" + error.toStdString() +
                       ")." + kOnClipboard);
                // The portal lost the session, restarting perhaps: a new one serves the next paste.
                if (session != session_) return;
                session_.clear();
                prepare();
              });
}

void PortalKeyboardEvents::fail(const std::string& problem) {
  calls_.cancelAll();
  if (!session_.isEmpty()) calls_.call(session_, kSession, QStringLiteral("Close"), {});
  session_.clear();
  problem_ = problem;
}

void PortalKeyboardEvents::report(const std::string& problem) {
  if (onProblem) onProblem(problem);
}

}  // namespace vellotype
