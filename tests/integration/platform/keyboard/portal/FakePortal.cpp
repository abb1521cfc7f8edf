#include "FakePortal.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace vellotype::testing {
namespace {

const QString kService = "org.freedesktop.portal.Desktop";

// Object paths as strings, dictionaries as maps, the shortcuts (a(sa{sv})) as lists.
QVariant plain(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
    return qvariant_cast<QDBusObjectPath>(value).path();
  }
  if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return value;
  const auto argument = qvariant_cast<QDBusArgument>(value);
  if (argument.currentType() == QDBusArgument::MapType) return qdbus_cast<QVariantMap>(argument);
  QVariantList shortcuts;
  for (const auto& [id, properties] : qdbus_cast<QList<QPair<QString, QVariantMap>>>(argument)) {
    shortcuts.append(QVariant(QVariantList{id, properties}));
  }
  return shortcuts;
}

// Where the portal puts a caller's requests and sessions: under its unique bus name.
QString handle(const QString& kind, const QDBusMessage& message, const QVariant& token) {
  return FakePortal::kPath + "/" + kind + "/" + message.service().mid(1).replace('.', '_') + "/" +
         token.toString();
}

}  // namespace

FakePortal::FakePortal(const QStringList& interfaces)
    : interfaces_(interfaces),
      bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-portal")) {
  qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
  qDBusRegisterMetaType<QList<QPair<QString, QVariantMap>>>();
  answers_["Start"] = {0, {{"devices", 1u}}};
  bus_.registerVirtualObject(kPath, this, QDBusConnection::SubPath);
  moveToThread(&thread_);
  thread_.start();
  bus_.registerService(kService);
}

FakePortal::~FakePortal() {
  bus_.unregisterService(kService);
  QDBusConnection::disconnectFromBus(bus_.name());
  thread_.quit();
  thread_.wait();
}

void FakePortal::answer(const QString& member, int code, const QVariantMap& results) {
  const std::lock_guard lock(mutex_);
  answers_[member] = {code, results};
}

std::vector<QVariantList> FakePortal::calls(const QString& member) const {
  const std::lock_guard lock(mutex_);
  std::vector<QVariantList> calls;
  for (auto [call, end] = calls_.equal_range(member); call != end; ++call) {
    calls.push_back(call->second);
  }
  return calls;
}

void FakePortal::emitShortcut(const QString& name, const QString& session, const QVariant& value) {
  auto signal = QDBusMessage::createSignal(kPath, kGlobalShortcuts, name);
  signal << QVariant::fromValue(QDBusObjectPath(session)) << value;
  if (name != "ShortcutsChanged") signal << 7ULL << QVariantMap();
  emitSignal(signal);
}

QString FakePortal::session() const {
  const std::lock_guard lock(mutex_);
  return session_;
}

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  QVariantList arguments;
  for (const auto& argument : message.arguments()) arguments.append(plain(argument));
  const auto options = arguments.value(arguments.size() - 1).toMap();
  if (options.contains("handle_token")) {
    auto tokens = options;
    for (const auto* key : {"handle_token", "session_handle_token"}) {
      if (!tokens.value(key).toString().isEmpty()) tokens[key] = "token";
    }
    arguments.last() = tokens;
  }
  const std::unique_lock lock(mutex_);
  calls_.emplace(message.interface().section('.', -1) + "." + message.member(),
                 arguments.isEmpty() ? QVariantList{message.path()} : arguments);
  if (message.member() == "Get") {
    const auto offered = interfaces_.contains(arguments.value(0).toString());
    connection.send(offered ? message.createReply(QVariant::fromValue(QDBusVariant(2u)))
                            : message.createErrorReply(QDBusError::InvalidArgs, "No interface"));
  } else if (message.member().startsWith("Notify") && arguments.value(0) != session_) {
    connection.send(message.createErrorReply(QDBusError::InvalidArgs, "No such session"));
  } else if (!options.contains("handle_token")) {
    connection.send(message.createReply());  // Close, and the Notify calls
  } else if (answers_[message.member()].first == -2) {
    connection.send(message.createErrorReply(QDBusError::AccessDenied, "Refused"));
  } else {
    // A request: its handle, then its Response.
    const auto request = handle("request", message, options["handle_token"]);
    connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    auto [code, results] = answers_[message.member()];
    if (message.member() == "CreateSession") {
      session_ = handle("session", message, options["session_handle_token"]);
      // Global shortcuts documents its session handle as a string, remote desktop as a path.
      results["session_handle"] = message.interface() == kGlobalShortcuts
                                      ? QVariant(session_)
                                      : QVariant::fromValue(QDBusObjectPath(session_));
    }
    auto response =
        QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
    if (code >= 0) connection.send(response << std::uint32_t(code) << results);
  }
  return true;
}

}  // namespace vellotype::testing
