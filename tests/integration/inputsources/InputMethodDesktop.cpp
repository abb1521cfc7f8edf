#include "InputMethodDesktop.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/ibus/IBusAddress.h"

namespace vellotype::testing {

// What a text field tells Fcitx5 about itself when it asks for an input context.
struct InputContextHint {
  QString name;
  QString value;
};

QDBusArgument& operator<<(QDBusArgument& argument, const InputContextHint& hint) {
  argument.beginStructure();
  argument << hint.name << hint.value;
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, InputContextHint& hint) {
  argument.beginStructure();
  argument >> hint.name >> hint.value;
  argument.endStructure();
  return argument;
}

}  // namespace vellotype::testing

Q_DECLARE_METATYPE(vellotype::testing::InputContextHint)

namespace vellotype::testing {
namespace {

using namespace std::chrono_literals;

const QString kFcitx5 = QStringLiteral("org.fcitx.Fcitx5");
constexpr int kTestCallTimeoutMs = 5000;

bool acceptsConnections(const std::filesystem::path& socketPath) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
  const bool accepted = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return accepted;
}

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& method, const QList<QVariant>& arguments = {}) {
  auto message = QDBusMessage::createMethodCall(kFcitx5, path, interface, method);
  message.setArguments(arguments);
  // Bus activation would start a second Fcitx5 with the bus's own settings.
  message.setAutoStartService(false);
  return bus.call(message, QDBus::Block, kTestCallTimeoutMs);
}

QString uniqueConnectionName() {
  static std::atomic<int> count = 0;
  return QStringLiteral("input-method-desktop-%1").arg(++count);
}

}  // namespace

InputMethodDesktop::InputMethodDesktop()
    : connectionName_(uniqueConnectionName()), sessionBus_(connectionName_) {
  std::string folder = (std::filesystem::temp_directory_path() / "input-method-desktop-XXXXXX");
  if (::mkdtemp(folder.data())) folder_ = folder;
}

InputMethodDesktop::~InputMethodDesktop() {
  fcitx5_.reset();
  ibus_.reset();
  QDBusConnection::disconnectFromBus(connectionName_);
  gioSessionBus_.reset();
  sessionBusDaemon_.reset();
  if (!folder_.empty()) std::filesystem::remove_all(folder_);
}

bool InputMethodDesktop::startSessionBus() {
  const auto socket = folder_ / "session-bus";
  sessionBusDaemon_ = start({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                             "--address=unix:path=" + socket.string()},
                            "dbus-daemon");
  if (!sessionBusDaemon_) return false;
  if (!waitUntil([&] { return acceptsConnections(socket); })) {
    error_ = "dbus-daemon did not listen within 10 s: " + sessionBusDaemon_->logTail();
    return false;
  }
  const std::string address = "unix:path=" + socket.string();
  // Programs started from here on, dconf among them, meet on this bus.
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  gioSessionBus_ = std::make_unique<GioSessionBus>();
  sessionBus_ = QDBusConnection::connectToBus(QString::fromStdString(address), connectionName_);
  if (!sessionBus_.isConnected()) error_ = "cannot connect to the private session bus";
  return sessionBus_.isConnected();
}

bool InputMethodDesktop::startIBus() {
  ibus_ = start({"ibus-daemon", "--panel=disable", "--emoji-extension=disable", "--config=disable"},
                "ibus");
  if (!ibus_) return false;
  // The daemon writes its address file once its bus listens.
  if (!waitUntil([] {
        return IBusAddress::locate(IBusAddress::Environment::ofThisProcess()).has_value();
      })) {
    error_ = "ibus-daemon wrote no address file within 10 s: " + ibus_->logTail();
    return false;
  }
  return true;
}

void InputMethodDesktop::stopIBus() { ibus_.reset(); }

void InputMethodDesktop::freezeIBus() {
  if (ibus_) ibus_->freeze();
}

void InputMethodDesktop::thawIBus() {
  if (ibus_) ibus_->thaw();
}

bool InputMethodDesktop::startFcitx5(const std::vector<std::string>& inputMethods) {
  const std::filesystem::path config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::create_directories(config / "fcitx5");
  std::ofstream profile(config / "fcitx5/profile", std::ios::trunc);
  profile << "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=" << inputMethods.back()
          << "\n\n";
  for (std::size_t i = 0; i < inputMethods.size(); ++i) {
    profile << "[Groups/0/Items/" << i << "]\nName=" << inputMethods[i] << "\nLayout=\n\n";
  }
  profile << "[GroupOrder]\n0=Default\n";
  profile.close();

  // Only what a headless session can run: no display, no panel, no IBus stand-in.
  fcitx5_ = start({"fcitx5", "--disable=all", "--enable=dbus,keyboard,dbusfrontend"},
                  "fcitx5 and fcitx5-modules");
  if (!fcitx5_) return false;
  if (!waitUntil([this] { return fcitx5IsReady(); })) {
    error_ = "Fcitx5 did not load its input methods within 10 s: " + fcitx5_->logTail();
    return false;
  }
  return true;
}

void InputMethodDesktop::stopFcitx5() { fcitx5_.reset(); }

// Fcitx5 takes its bus name before it has loaded its input methods and groups.
bool InputMethodDesktop::fcitx5IsReady() {
  const auto reply = call(sessionBus_, QStringLiteral("/controller"),
                          QStringLiteral("org.fcitx.Fcitx.Controller1"),
                          QStringLiteral("InputMethodGroupInfo"), {QStringLiteral("Default")});
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) return false;
  const auto items = qvariant_cast<QDBusArgument>(reply.arguments().at(1));
  items.beginArray();
  const bool hasItems = !items.atEnd();
  items.endArray();
  return hasItems;
}

bool InputMethodDesktop::setIBusPreloadEngines(const std::vector<std::string>& engines) {
  std::string list = "[";
  for (const auto& engine : engines) list += (list.size() > 1 ? ", '" : "'") + engine + "'";
  list += "]";
  const auto gsettings =
      start({"gsettings", "set", "org.freedesktop.ibus.general", "preload-engines", list},
            "libglib2.0-bin");
  if (!gsettings) return false;
  if (gsettings->waitForExit(10s) != 0) {
    error_ = "gsettings failed: " + gsettings->logTail();
    return false;
  }
  return true;
}

bool InputMethodDesktop::focusFcitx5TextField() {
  qDBusRegisterMetaType<InputContextHint>();
  qDBusRegisterMetaType<QList<InputContextHint>>();
  const QList<InputContextHint> hints{
      {QStringLiteral("program"), QStringLiteral("vellotype-test")}};
  const auto created = call(sessionBus_, QStringLiteral("/org/freedesktop/portal/inputmethod"),
                            QStringLiteral("org.fcitx.Fcitx.InputMethod1"),
                            QStringLiteral("CreateInputContext"), {QVariant::fromValue(hints)});
  if (created.type() != QDBusMessage::ReplyMessage || created.arguments().isEmpty()) {
    error_ = "Fcitx5 made no input context: " + created.errorMessage().toStdString();
    return false;
  }
  const auto path = qvariant_cast<QDBusObjectPath>(created.arguments().constFirst()).path();
  const auto focused = call(sessionBus_, path, QStringLiteral("org.fcitx.Fcitx.InputContext1"),
                            QStringLiteral("FocusIn"));
  if (focused.type() != QDBusMessage::ReplyMessage) {
    error_ = "Fcitx5 did not focus the input context: " + focused.errorMessage().toStdString();
    return false;
  }
  return true;
}

bool InputMethodDesktop::waitUntil(const std::function<bool()>& condition,
                                   std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::unique_ptr<ChildProcess> InputMethodDesktop::start(std::vector<std::string> arguments,
                                                        const std::string& package) {
  const auto log = folder_ / (arguments.front() + ".log");
  auto process = std::make_unique<ChildProcess>(std::move(arguments), log);
  programMissing_ = process->isMissing();
  if (!process->started()) {
    error_ =
        process->error() + (programMissing_ ? " (install the Debian package " + package + ")" : "");
    return nullptr;
  }
  return process;
}

std::string InputMethodDesktop::sessionBusLog() const {
  return sessionBusDaemon_ ? sessionBusDaemon_->logTail() : std::string();
}

}  // namespace vellotype::testing
