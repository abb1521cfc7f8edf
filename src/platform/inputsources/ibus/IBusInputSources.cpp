#include "platform/inputsources/ibus/IBusInputSources.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vellotype {
namespace {

using namespace std::chrono_literals;

const QString kService = QStringLiteral("org.freedesktop.IBus");
const QString kPath = QStringLiteral("/org/freedesktop/IBus");
const QString kInterface = QStringLiteral("org.freedesktop.IBus");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kCallTimeoutMs = 250;
constexpr auto kConnectTimeout = 300ms;

// Qt cannot bound the handshake with a bus, which waits up to 25 s on a daemon that accepts but
// never answers, so it runs on a thread of its own. A connection made after the caller gave up is
// closed again by that thread.
std::optional<QDBusConnection> connectWithin(const QString& address, const QString& name) {
  struct Attempt {
    std::mutex mutex;
    std::condition_variable finished;
    std::optional<QDBusConnection> connection;
    bool abandoned = false;
  };
  auto attempt = std::make_shared<Attempt>();
  std::thread([attempt, address, name] {
    auto connection = QDBusConnection::connectToBus(address, name);
    const std::lock_guard lock(attempt->mutex);
    if (attempt->abandoned) {
      QDBusConnection::disconnectFromBus(name);
    } else {
      attempt->connection = std::move(connection);
      attempt->finished.notify_one();
    }
  }).detach();
  std::unique_lock lock(attempt->mutex);
  if (!attempt->finished.wait_for(lock, kConnectTimeout,
                                  [&] { return attempt->connection.has_value(); })) {
    attempt->abandoned = true;
  }
  return attempt->connection;
}

// Each connection gets a name of its own: Qt hands out an existing connection again by name, and
// one abandoned while connecting must never be taken for a later one.
QString uniqueConnectionName() {
  static std::atomic<int> count = 0;
  return QStringLiteral("vellotype-ibus-%1").arg(++count);
}

// An engine description is the serialised IBusEngineDesc: ("IBusEngineDesc", attachments, name,
// long name, …), wrapped in one variant by IBus and, read as a property, in another by D-Bus.
std::optional<std::string> engineNameIn(QVariant value) {
  while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
    value = qvariant_cast<QDBusVariant>(value).variant();
  }
  if (value.metaType() != QMetaType::fromType<QDBusArgument>()) return std::nullopt;
  const auto description = qvariant_cast<QDBusArgument>(value);
  if (!description.currentSignature().startsWith(QStringLiteral("(sa{sv}s"))) return std::nullopt;
  QString type;
  QVariantMap attachments;
  QString name;
  description.beginStructure();
  description >> type >> attachments >> name;
  description.endStructure();
  if (type != QStringLiteral("IBusEngineDesc") || name.isEmpty()) return std::nullopt;
  return name.toStdString();
}

}  // namespace

IBusInputSources::IBusInputSources(std::string address, LatinLayouts& latinLayouts)
    : address_(std::move(address)),
      connectionName_(uniqueConnectionName()),
      connection_(connectionName_),
      latinLayouts_(latinLayouts) {
  if (auto connection = connectWithin(QString::fromStdString(address_), connectionName_)) {
    connection_ = *connection;
    connectedInTime_ = true;
  }
}

IBusInputSources::~IBusInputSources() {
  // One not made in time is closed by the thread making it: disconnecting here would wait for it.
  if (connectedInTime_) QDBusConnection::disconnectFromBus(connectionName_);
}

bool IBusInputSources::isConnected() const { return connectedInTime_ && connection_.isConnected(); }

std::optional<InputSource> IBusInputSources::current() {
  const auto engine = globalEngine();
  if (!engine) return std::nullopt;
  return sourceFor(*engine);
}

std::optional<std::vector<InputSource>> IBusInputSources::enabledASCIICapableSources() {
  const auto names = preloadEngines_.names();
  if (!names) return std::nullopt;
  std::vector<InputSource> sources;
  for (const auto& name : *names) {
    if (auto source = sourceFor(name); source.isASCIICapable) sources.push_back(std::move(source));
  }
  return sources;
}

void IBusInputSources::select(const InputSource& source) {
  call(kInterface, QStringLiteral("SetGlobalEngine"), {QString::fromStdString(source.identifier)});
}

std::optional<KeyboardLayout> IBusInputSources::layoutOf(std::string_view engine) {
  constexpr std::string_view kPrefix = "xkb:";
  if (!engine.starts_with(kPrefix)) return std::nullopt;
  engine.remove_prefix(kPrefix.size());
  const auto layoutEnd = engine.find(':');
  KeyboardLayout layout{.layout = std::string(engine.substr(0, layoutEnd)), .variant = {}};
  if (layout.layout.empty()) return std::nullopt;
  if (layoutEnd != std::string_view::npos) {
    const auto rest = engine.substr(layoutEnd + 1);
    layout.variant = std::string(rest.substr(0, rest.find(':')));
  }
  return layout;
}

InputSource IBusInputSources::sourceFor(const std::string& engine) {
  return InputSource{.identifier = engine,
                     .isASCIICapable = latinLayouts_.typesLatinLetters(layoutOf(engine))};
}

std::optional<std::string> IBusInputSources::globalEngine() {
  auto reply =
      call(kProperties, QStringLiteral("Get"), {kInterface, QStringLiteral("GlobalEngine")});
  // Older IBus has only the method. A daemon with no engine yet answers Error.Failed: then there
  // is no current source to report.
  const auto error = reply.errorName();
  if (error == QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs") ||
      error == QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty")) {
    reply = call(kInterface, QStringLiteral("GetGlobalEngine"), {});
  }
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    return std::nullopt;
  }
  return engineNameIn(reply.arguments().constFirst());
}

QDBusMessage IBusInputSources::call(const QString& interface, const QString& method,
                                    const QList<QVariant>& arguments) {
  auto message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
  message.setArguments(arguments);
  return connection_.call(message, QDBus::Block, kCallTimeoutMs);
}

}  // namespace vellotype
