#pragma once
// One portal client's side of the XDG desktop portal on the session bus: its calls, and the
// answers that come later as org.freedesktop.portal.Request Response signals. Main thread only;
// owned by the client (PortalShortcutTap, PortalKeyboardEvents).

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "platform/keyboard/portal/PortalSignalRelay.h"

namespace vellotype {

class PortalCalls {
 public:
  // The Response codes, and a call the portal refused outright.
  enum class Outcome { success = 0, cancelled = 1, ended = 2, error };
  struct Answer {
    Outcome outcome;
    QVariantMap results;
    QString error;  // the D-Bus error's message, for Outcome::error
  };
  using Answered = std::function<void(const Answer&)>;
  using Failed = std::function<void(const QString& error)>;

  explicit PortalCalls(QDBusConnection bus);
  ~PortalCalls();
  PortalCalls(const PortalCalls&) = delete;
  PortalCalls& operator=(const PortalCalls&) = delete;

  // The version of `interface` when the portal offers it. Waits for the portal, which the bus
  // may have to start first.
  std::optional<std::uint32_t> version(const QString& interface);
  // Unique within this process and hard to guess, as handle and session tokens should be.
  static QString newToken();
  // The session handle in a CreateSession answer, whichever type the portal gave it.
  static QString sessionHandleIn(const QVariantMap& results);

  // Calls the portal's `method` with `arguments` and then `options`, a handle_token added;
  // `answered` hears the Response or the error the call met, unless cancelAll() runs first.
  void request(const QString& interface, const QString& method, QVariantList arguments,
               QVariantMap options, Answered answered);
  // A call at `path` that answers at once; `failed`, if given, hears of an error.
  void call(const QString& path, const QString& interface, const QString& method,
            const QVariantList& arguments, Failed failed = {});
  // Closes every request still waiting for its Response.
  void cancelAll();

 private:
  QString requestHandle(const QString& token) const;
  void replied(const QString& expected, const QDBusMessage& reply);
  void responded(const QDBusMessage& response);
  void watch(const QDBusPendingCall& pending, std::function<void(const QDBusMessage&)> finished);

  QDBusConnection bus_;
  PortalSignalRelay relay_;
  std::map<QString, Answered> pending_;  // by request handle
};

}  // namespace vellotype
