#include "platform/keyboard/portal/PortalCalls.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QRandomGenerator>
#include <atomic>

namespace vellotype {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
// Long enough for the bus to start the portal and the portal its backends.
constexpr int kVersionTimeoutMs = 3000;

// A dictionary inside a message stays in its D-Bus form until read as a map.
QVariantMap mapIn(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
    return qdbus_cast<QVariantMap>(qvariant_cast<QDBusArgument>(value));
  }
  return value.toMap();
}

}  // namespace

PortalCalls::PortalCalls(QDBusConnection bus)
    : bus_(bus), relay_(bus, [this](const QDBusMessage& message) { responded(message); }) {
  // Subscribed before any call, so that no Response can come before its listener.
  relay_.listen(kRequest, QStringLiteral("Response"));
}

PortalCalls::~PortalCalls() { cancelAll(); }

std::optional<std::uint32_t> PortalCalls::version(const QString& interface) {
  // A portal without the interface answers with an error, and so does the bus when no portal is
  // installed. Blocking, since a client must say at once whether it can work at all.
  auto message = QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  message.setArguments({interface, QStringLiteral("version")});
  const auto reply = bus_.call(message, QDBus::Block, kVersionTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    return std::nullopt;
  }
  bool isNumber = false;
  const auto version =
      qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toUInt(&isNumber);
  return isNumber ? std::optional(version) : std::nullopt;
}

QString PortalCalls::newToken() {
  static std::atomic<unsigned> count = 0;
  return QStringLiteral("vellotype%1_%2")
      .arg(++count)
      .arg(QRandomGenerator::global()->generate64(), 0, 16);
}

QString PortalCalls::sessionHandleIn(const QVariantMap& results) {
  const auto handle = results.value(QStringLiteral("session_handle"));
  if (handle.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
    return qvariant_cast<QDBusObjectPath>(handle).path();
  }
  return handle.toString();
}

void PortalCalls::request(const QString& interface, const QString& method, QVariantList arguments,
                          QVariantMap options, Answered answered) {
  const auto token = newToken();
  const auto expected = requestHandle(token);
  options.insert(QStringLiteral("handle_token"), token);
  arguments.append(options);
  pending_.emplace(expected, std::move(answered));
  auto message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
  message.setArguments(arguments);
  watch(bus_.asyncCall(message),
        [this, expected](const QDBusMessage& reply) { replied(expected, reply); });
}

void PortalCalls::call(const QString& path, const QString& interface, const QString& method,
                       const QVariantList& arguments, Failed failed) {
  auto message = QDBusMessage::createMethodCall(kService, path, interface, method);
  message.setArguments(arguments);
  if (!failed) {
    bus_.send(message);
    return;
  }
  watch(bus_.asyncCall(message), [failed = std::move(failed)](const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ErrorMessage) failed(reply.errorMessage());
  });
}

void PortalCalls::cancelAll() {
  // Closing a request ends the portal's dialog for it; its Response never comes.
  for (const auto& [handle, answered] : pending_) {
    bus_.send(QDBusMessage::createMethodCall(kService, handle, kRequest, QStringLiteral("Close")));
  }
  pending_.clear();
}

QString PortalCalls::requestHandle(const QString& token) const {
  auto sender = bus_.baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void PortalCalls::replied(const QString& expected, const QDBusMessage& reply) {
  const auto found = pending_.find(expected);
  // The portal names the request after our token; its Response is what counts.
  if (found == pending_.end() || reply.type() != QDBusMessage::ErrorMessage) return;
  auto answered = std::move(found->second);
  pending_.erase(found);
  answered({Outcome::error, {}, reply.errorMessage()});
}

void PortalCalls::responded(const QDBusMessage& response) {
  const auto found = pending_.find(response.path());
  if (found == pending_.end() || response.arguments().size() < 2) return;
  auto answered = std::move(found->second);
  pending_.erase(found);
  const auto code = response.arguments().at(0).toUInt();
  const auto outcome = code <= 2 ? Outcome(code) : Outcome::ended;
  answered({outcome, mapIn(response.arguments().at(1)), {}});
}

void PortalCalls::watch(const QDBusPendingCall& pending,
                        std::function<void(const QDBusMessage&)> finished) {
  // A child of the relay, so that no reply reaches a client that is gone.
  auto* watcher = new QDBusPendingCallWatcher(pending, &relay_);
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [watcher, finished = std::move(finished)] {
                     finished(watcher->reply());
                     watcher->deleteLater();
                   });
}

}  // namespace vellotype
