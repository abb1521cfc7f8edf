// The input-source adapters against the real IBus and Fcitx5 daemons, each test with a session
// bus, dconf and daemons of its own, in folders of its own so that nothing reads or writes the
// user's settings. The daemons need no display.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <thread>

#include "platform/inputsources/active/ActiveInputSources.h"
#include "platform/inputsources/fcitx/Fcitx5InputSources.h"
#include "platform/inputsources/ibus/IBusAddress.h"
#include "platform/inputsources/ibus/IBusInputSources.h"

// GIO names a struct member `signals`, a Qt keyword.
#undef signals
#include <gio/gio.h>

namespace vellotype {

void PrintTo(const InputSource& source, std::ostream* out) {
  *out << source.identifier << (source.isASCIICapable ? " (ASCII-capable)" : "");
}

namespace {

using namespace std::chrono_literals;

const InputSource kLayoutAlone{"keyboard-layout", true};
const InputSource kIBusUS{"xkb:us::eng", true}, kIBusGerman{"xkb:de::ger", true},
    kIBusRussian{"xkb:ru::rus", false};
const InputSource kFcitx5US{"keyboard-us", true}, kFcitx5Russian{"keyboard-ru", false};
const QString kConnection = QStringLiteral("input-method-desktop");

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Skips the test when the framework is not installed here, and fails it when it is but does not
// start: CI installs every package scripts/setup lists.
#define START_OR_SKIP(step)                 \
  do {                                      \
    if (!(step)) {                          \
      if (missing_) GTEST_SKIP() << error_; \
      FAIL() << error_;                     \
    }                                       \
  } while (false)

// A private session bus, and IBus and Fcitx5 started, stopped and frozen on demand.
class InputSourceDaemons : public ::testing::Test {
 protected:
  void SetUp() override { START_OR_SKIP(startSessionBus()); }

  void TearDown() override {
    stop(fcitx5_);
    stop(ibus_);
    QDBusConnection::disconnectFromBus(kConnection);
    if (gio_) g_object_unref(gio_);
    if (sharedGio_) g_object_unref(sharedGio_);
    stop(sessionBusDaemon_);
  }

  bool startSessionBus() {
    const auto address = "unix:path=" + folder_.filePath("session-bus");
    sessionBusDaemon_ =
        start("dbus-daemon", {"--session", "--nofork", "--print-address", "--address=" + address});
    // The address is printed once the bus listens.
    if (!sessionBusDaemon_ || !waitUntil([&] { return !log("dbus-daemon").empty(); })) {
      return fail("dbus-daemon did not listen");
    }
    // Programs started from here on, dconf among them, meet on this bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    // GIO's shared connection, which dconf reads through, outlives the bus: held with
    // exit-on-close off, or the bus stopping would end the test process.
    sharedGio_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (sharedGio_) g_dbus_connection_set_exit_on_close(sharedGio_, FALSE);
    gio_ = g_dbus_connection_new_for_address_sync(
        address.toUtf8().constData(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    sessionBus_ = QDBusConnection::connectToBus(address, kConnection);
    return (sharedGio_ && gio_ && sessionBus_.isConnected()) ||
           fail("cannot connect to the private session bus");
  }

  bool startIBus() {
    ibus_ =
        start("ibus-daemon", {"--panel=disable", "--emoji-extension=disable", "--config=disable"});
    // The daemon writes its address file once its bus listens.
    return (ibus_ && waitUntil([] { return !ibusAddress().empty(); })) ||
           fail("ibus-daemon wrote no address file: " + log("ibus-daemon"));
  }

  bool startFcitx5(const QStringList& inputMethods) {
    QString profile =
        "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=" + inputMethods.back() +
        "\n[GroupOrder]\n0=Default\n";
    for (int i = 0; i < inputMethods.size(); ++i) {
      profile += QString("[Groups/0/Items/%1]\nName=%2\nLayout=\n").arg(i).arg(inputMethods[i]);
    }
    const auto config = qEnvironmentVariable("XDG_CONFIG_HOME") + "/fcitx5";
    QFile file(config + "/profile");
    if (!QDir().mkpath(config) || !file.open(QIODevice::WriteOnly) ||
        file.write(profile.toUtf8()) < 0) {
      return fail("cannot write the Fcitx5 profile");
    }
    file.close();
    // Only what a headless session can run: no display, no panel, no IBus stand-in.
    fcitx5_ = start("fcitx5", {"--disable=all", "--enable=dbus,keyboard,dbusfrontend"});
    // Fcitx5 takes its bus name before it has loaded its input methods and groups.
    return (fcitx5_ && waitUntil([this] {
              auto* info = callFcitx5("/controller", "org.fcitx.Fcitx.Controller1",
                                      "InputMethodGroupInfo", g_variant_new("(s)", "Default"));
              auto* items = info ? g_variant_get_child_value(info, 1) : nullptr;
              const bool loaded = items && g_variant_n_children(items) > 0;
              if (items) g_variant_unref(items);
              if (info) g_variant_unref(info);
              return loaded;
            })) ||
           fail("Fcitx5 did not load its input methods: " + log("fcitx5"));
  }

  // Stands for a hung daemon: its connections stay open but nothing answers.
  void freezeIBus(bool frozen) { ::kill(pid_t(ibus_->processId()), frozen ? SIGSTOP : SIGCONT); }

  // As the user would with IBus's preferences: through dconf, from another process.
  bool setIBusPreloadEngines(const QStringList& engines) {
    return QProcess::execute("gsettings", {"set", "org.freedesktop.ibus.general", "preload-engines",
                                           "['" + engines.join("', '") + "']"}) == 0 ||
           fail("gsettings failed");
  }

  // An application's text field gets the focus, as Fcitx5 keeps its state per input context.
  bool focusFcitx5TextField() {
    auto* created =
        callFcitx5("/org/freedesktop/portal/inputmethod", "org.fcitx.Fcitx.InputMethod1",
                   "CreateInputContext", g_variant_new_parsed("([('program', 'vellotype')],)"));
    const char* path = nullptr;
    if (created) g_variant_get_child(created, 0, "&o", &path);
    auto* focused =
        path ? callFcitx5(path, "org.fcitx.Fcitx.InputContext1", "FocusIn", nullptr) : nullptr;
    if (created) g_variant_unref(created);
    if (focused) g_variant_unref(focused);
    return focused || fail("Fcitx5 did not focus an input context");
  }

  static std::string ibusAddress() {
    return IBusAddress::locate(IBusAddress::Environment::ofThisProcess()).value_or("");
  }
  static bool becomes(InputSources& sources, const InputSource& expected) {
    return waitUntil([&] { return sources.current() == expected; }, 5s);
  }
  std::string log(const QString& program) const {
    QFile file(folder_.filePath(program + ".log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().right(1500).toStdString() : "";
  }

  static void stop(std::unique_ptr<QProcess>& process) {
    if (process) process->kill(), process->waitForFinished();
    process.reset();
  }

  bool fail(const std::string& error) {
    error_ = error;
    return false;
  }

  std::unique_ptr<QProcess> start(const QString& program, const QStringList& arguments) {
    missing_ = QStandardPaths::findExecutable(program).isEmpty();
    auto process = std::make_unique<QProcess>();
    // A crashed test leaves no daemon behind.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(folder_.filePath(program + ".log"));
    if (!missing_) process->start(program, arguments);
    if (!missing_ && process->waitForStarted()) return process;
    fail(program.toStdString() + (missing_ ? " is not installed" : " did not start"));
    return nullptr;
  }

  // Bus activation would start a second Fcitx5 with the bus's own settings.
  GVariant* callFcitx5(const char* path, const char* interface, const char* method,
                       GVariant* arguments) {
    return g_dbus_connection_call_sync(gio_, "org.fcitx.Fcitx5", path, interface, method, arguments,
                                       nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr,
                                       nullptr);
  }

  LatinLayouts latinLayouts;
  std::unique_ptr<QProcess> sessionBusDaemon_, ibus_, fcitx5_;
  QDBusConnection sessionBus_{QString()};
  std::string error_;
  bool missing_ = false;
  QTemporaryDir folder_;
  GDBusConnection* sharedGio_ = nullptr;
  GDBusConnection* gio_ = nullptr;
};

TEST_F(InputSourceDaemons, AHungIBusCostsAMomentNotAStall) {
  START_OR_SKIP(startIBus());
  IBusInputSources sources(ibusAddress(), latinLayouts);
  sources.select(kIBusRussian);
  ASSERT_TRUE(becomes(sources, kIBusRussian));

  freezeIBus(true);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sources.current(), std::nullopt);
  sources.select(kIBusUS);
  IBusInputSources latecomer(ibusAddress(), latinLayouts);
  EXPECT_FALSE(latecomer.isConnected());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
  freezeIBus(false);
  EXPECT_TRUE(becomes(sources, kIBusUS));
}

TEST_F(InputSourceDaemons, ALookAtFcitx5NeverStartsIt) {
  Fcitx5InputSources sources(sessionBus_, latinLayouts);
  EXPECT_EQ(sources.current(), std::nullopt);
  EXPECT_EQ(sources.enabledASCIICapableSources(), std::nullopt);
  sources.select(kFcitx5US);
  // Fcitx5 installs a bus activation file: a call that allowed it would have launched it.
  EXPECT_EQ(log("dbus-daemon").find("org.fcitx.Fcitx5"), std::string::npos) << log("dbus-daemon");
  EXPECT_FALSE(sources.isRunning());
}

TEST_F(InputSourceDaemons, EachFrameworkThatRunsIsFollowedSwitchedAndSwitchedBack) {
  ActiveInputSources sources(sessionBus_);
  EXPECT_EQ(sources.current(), kLayoutAlone);
  EXPECT_EQ(sources.enabledASCIICapableSources(), std::vector<InputSource>{});

  START_OR_SKIP(startIBus());
  // No panel has given the daemon an engine yet; nothing chosen is what the panel runs as US.
  EXPECT_EQ(sources.current(), std::nullopt);
  EXPECT_EQ(sources.enabledASCIICapableSources(), std::vector{kIBusUS});
  ASSERT_TRUE(setIBusPreloadEngines({"xkb:ru::rus", "xkb:de::ger", "pinyin", "xkb:us::eng"}))
      << error_;
  EXPECT_EQ(sources.enabledASCIICapableSources(), (std::vector{kIBusGerman, kIBusUS}));
  for (const auto& source : {kIBusRussian, kIBusUS, kIBusRussian}) {
    sources.select(source);
    EXPECT_TRUE(becomes(sources, source)) << source.identifier;
  }

  START_OR_SKIP(startFcitx5({"keyboard-ru", "keyboard-us"}));
  // Fcitx5 has no current input method before an application has had the focus.
  EXPECT_EQ(sources.current(), std::nullopt);
  ASSERT_TRUE(focusFcitx5TextField()) << error_;
  EXPECT_EQ(sources.current(), kFcitx5Russian);
  EXPECT_EQ(sources.enabledASCIICapableSources(), std::vector{kFcitx5US});
  for (const auto& source : {kFcitx5US, kFcitx5Russian}) {
    sources.select(source);
    EXPECT_EQ(sources.current(), source);
  }
  stop(fcitx5_);
  EXPECT_EQ(sources.current(), kIBusRussian);

  // Restarted unseen: a new address, and no engine yet.
  stop(ibus_);
  START_OR_SKIP(startIBus());
  EXPECT_EQ(sources.current(), std::nullopt);
  sources.select(kIBusUS);
  EXPECT_TRUE(becomes(sources, kIBusUS));
  stop(ibus_);
  EXPECT_EQ(sources.current(), kLayoutAlone);
}

}  // namespace
}  // namespace vellotype

int main(int argc, char* argv[]) {
  QTemporaryDir home;
  for (const char* variable :
       {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
    const QString folder = home.filePath(QString::fromLatin1(variable).toLower());
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv(variable, folder.toLocal8Bit());
  }
  qputenv("HOME", home.path().toLocal8Bit());
  // The frameworks of the desktop this runs on, if any, stay out of it.
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "IBUS_ADDRESS", "IBUS_ADDRESS_FILE",
                               "DBUS_SESSION_BUS_ADDRESS", "GSETTINGS_BACKEND"}) {
    qunsetenv(variable);
  }
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
