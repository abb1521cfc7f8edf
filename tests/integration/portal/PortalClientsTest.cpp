// The portal clients against the portal service, under dbus-run-session: what they ask for, the
// hotkey's presses and releases (through the real key monitor), and what the user is told when
// the desktop says no.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDebug>
#include <QTest>

#include "FakePortal.h"
#include "TestMainQueue.h"
#include "hotkey/KeyMonitor.h"
#include "platform/portal/PortalShortcutTap.h"

inline void PrintTo(const QVariant& value, std::ostream* out) {
  *out << QDebug::toString(value).toStdString();
}

namespace vellotype::testing {
namespace {

using Shortcuts = QList<QPair<QString, QVariantMap>>;
using Case = std::tuple<QString, int, QVariantMap, std::string>;

const QString kId = PortalShortcutTap::kShortcutId;
const TriggerKey kF5{TriggerKey::Kind::keyCode, std::nullopt, 0x60, "F5"};
const TriggerKey kRightControl{TriggerKey::Kind::modifier, TriggerKey::Modifier::control, 0x3E, ""};
// The options of a call as the portal records them.
const QVariantMap kHandle{{"handle_token", "token"}};
const QVariantMap kNewSession{{"handle_token", "token"}, {"session_handle_token", "token"}};

class PortalClients : public ::testing::Test {
 protected:
  PortalClients() {
    tap_.onProblem = [this](const std::string& problem) { problems_.push_back(problem); };
    portal_->answer("BindShortcuts", 0, {{"shortcuts", bound("Right Ctrl")}});
  }
  ~PortalClients() override { QDBusConnection::disconnectFromBus(bus_.name()); }

  // Runs the client's event loop until `done` holds; false after a few seconds.
  static bool waitUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done); }
  // Once this returns the portal has handled every call the client sent before, and the client
  // every signal the portal sent before: the bus keeps each connection's messages in order.
  void roundTrip() {
    auto get = QDBusMessage::createMethodCall("org.freedesktop.portal.Desktop", FakePortal::kPath,
                                              "org.freedesktop.DBus.Properties", "Get");
    bus_.call(get << FakePortal::kRemoteDesktop << "version");
    QCoreApplication::processEvents();
  }
  void replacePortal(const QStringList& interfaces) {
    portal_.reset();
    portal_ = std::make_unique<FakePortal>(interfaces);
  }
  void emitShortcut(const QString& name, const QString& session, const QVariant& id = kId) {
    auto signal = QDBusMessage::createSignal(FakePortal::kPath, FakePortal::kGlobalShortcuts, name);
    signal << QVariant::fromValue(QDBusObjectPath(session)) << id;
    if (name != "ShortcutsChanged") signal << 7ULL << QVariantMap();
    portal_->emitSignal(signal);
  }
  void endSession() {
    const QString session = "org.freedesktop.portal.Session";
    portal_->emitSignal(QDBusMessage::createSignal(portal_->session(), session, "Closed")
                        << QVariantMap());
  }
  static QVariant bound(const QString& trigger) {
    return QVariant::fromValue(Shortcuts{{kId, {{"trigger_description", trigger}}}});
  }
  bool boundAs(const std::string& trigger) {
    return waitUntil([&] { return tap_.boundTriggerDescription() == trigger; });
  }

  std::unique_ptr<FakePortal> portal_ = std::make_unique<FakePortal>(
      QStringList{FakePortal::kGlobalShortcuts, FakePortal::kRemoteDesktop});
  QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
  PortalShortcutTap tap_{bus_};
  std::vector<std::string> problems_;
};

TEST_F(PortalClients, TheTriggerIsBoundAsPreferredAndHeldWhileItsShortcutIsActive) {
  TestMainQueue queue;
  for (const auto& [trigger, preferred] : std::vector<std::pair<TriggerKey, QString>>{
           {kF5, "F5"}, {TriggerKey::defaultKey(), "Control_L"}, {kRightControl, "Control_R"}}) {
    SCOPED_TRACE(preferred.toStdString());
    const auto monitor = std::make_shared<KeyMonitor>(tap_, queue, trigger);
    int downs = 0, ups = 0;
    monitor->onKeyDown = [&] { ++downs; };
    monitor->onKeyUp = [&] { ++ups; };
    const auto reported = [&](int down, int up) {
      roundTrip();
      return waitUntil([&] { return queue.runPending(), downs == down && ups == up; });
    };
    ASSERT_EQ(monitor->start(), EventTap::StartResult::started);
    ASSERT_TRUE(boundAs("Right Ctrl"));
    const auto session = portal_->session();
    EXPECT_EQ(portal_->last("GlobalShortcuts.CreateSession"), QVariantList{kNewSession});
    const QVariantMap shortcut{{"description", PortalShortcutTap::kShortcutDescription},
                               {"preferred_trigger", preferred}};
    EXPECT_EQ(
        portal_->last("GlobalShortcuts.BindShortcuts"),
        (QVariantList{session, QVariantList{QVariant(QVariantList{kId, shortcut})}, "", kHandle}));
    // Another shortcut, or another session's, is not the trigger; a repeat is the key still held.
    emitShortcut("Activated", session, "another");
    emitShortcut("Activated", session + "x");
    EXPECT_TRUE(reported(0, 0));
    emitShortcut("Activated", session);
    emitShortcut("Activated", session);
    EXPECT_TRUE(reported(1, 0));
    emitShortcut("Deactivated", session);
    EXPECT_TRUE(reported(1, 1));
    // The user binds another key in the desktop's settings.
    emitShortcut("ShortcutsChanged", session, bound("F6"));
    EXPECT_TRUE(boundAs("F6"));
    monitor->stop();
    emitShortcut("Activated", session);
    EXPECT_TRUE(reported(1, 1));
    EXPECT_EQ(portal_->last("Session.Close"), QVariantList{session});
  }
}

TEST_F(PortalClients, AHotkeyLeftWithoutAKeyIsToldWithWhy) {
  for (const auto& [member, code, results, problem] : std::vector<Case>{
           {"CreateSession", 1, {}, "dialog was cancelled"},
           {"BindShortcuts", 2, {}, "could not set up"},
           {"BindShortcuts", -2, {}, "hotkey (Refused)"},
           {"BindShortcuts", 0, {{"shortcuts", QVariant::fromValue(Shortcuts())}}, "bound no key"},
           {"BindShortcuts", 0, {{"shortcuts", bound("F5")}}, "ended"}}) {
    replacePortal({FakePortal::kGlobalShortcuts});
    portal_->answer(member, code, results);
    problems_.clear();
    std::vector<KeyEvent::Type> events;
    EXPECT_EQ(tap_.start(kF5,
                         [&](const KeyEvent& event) {
                           events.push_back(event.type);
                           return EventTap::Disposition::remove;
                         }),
              EventTap::StartResult::started);
    // The desktop ends the session while the key is held: it is released.
    if (problem == "ended" && boundAs("F5")) emitShortcut("Activated", portal_->session());
    if (problem == "ended") endSession();
    ASSERT_TRUE(waitUntil([&] { return problems_.size() == 1; })) << problem;
    EXPECT_NE(problems_.front().find(problem), std::string::npos) << problems_.front();
    EXPECT_EQ(events.size(), problem == "ended" ? 2U : 0U);
  }
  replacePortal({FakePortal::kRemoteDesktop});
  EXPECT_EQ(tap_.start(kF5, {}), EventTap::StartResult::unavailable);
}

}  // namespace
}  // namespace vellotype::testing

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
