// The portal clients against the portal service, under dbus-run-session: what they ask for, the
// hotkey's presses and releases (through the real key monitor), the keys of a paste, and what the
// user is told when the desktop says no.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDebug>
#include <QTest>

#include "FakePortal.h"
#include "TestMainQueue.h"
#include "fakes/FakePreferences.h"
#include "hotkey/KeyMonitor.h"
#include "platform/PreferenceKeys.h"
#include "platform/keyboard/portal/PortalKeyboardEvents.h"
#include "platform/keyboard/portal/PortalShortcutTap.h"
#include "values/ModifierFlags.h"

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
constexpr std::uint16_t kV = 0x09;
using modifiers::kControl;
using modifiers::kShift;
// The options of a call as the portal records them.
const QVariantMap kHandle{{"handle_token", "token"}};
const QVariantMap kNewSession{{"handle_token", "token"}, {"session_handle_token", "token"}};

class PortalClients : public ::testing::Test {
 protected:
  PortalClients() {
    tap_.onProblem = [this](const std::string& problem) { problems_.push_back(problem); };
    tap_.onBoundTriggerChanged = [this] { bound_ = tap_.boundTriggerDescription(); };
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
    portal_->emitShortcut(name, session, id);
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
    return waitUntil([&] { return bound_ == trigger; });
  }
  std::unique_ptr<PortalKeyboardEvents> keyboard() {
    auto events = std::make_unique<PortalKeyboardEvents>(bus_, preferences_);
    events->onProblem = tap_.onProblem;
    return events;
  }
  // The keys pressed in the session the portal made last.
  std::vector<QVariantList> keysSent() const {
    std::vector<QVariantList> keys;
    for (const auto& call : portal_->calls("RemoteDesktop.NotifyKeyboardKeysym")) {
      if (call.mid(0, 2) == QVariantList{portal_->session(), QVariantMap()}) {
        keys.push_back(call.mid(2));
      }
    }
    return keys;
  }

  std::unique_ptr<FakePortal> portal_ = std::make_unique<FakePortal>(
      QStringList{FakePortal::kGlobalShortcuts, FakePortal::kRemoteDesktop});
  QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
  PortalShortcutTap tap_{bus_};
  FakePreferences preferences_;
  std::vector<std::string> problems_;
  std::optional<std::string> bound_;
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

TEST_F(PortalClients, TheKeyboardIsAskedForOnceThenRestoredAndAChordReleasesModifiersLast) {
  std::unique_ptr<PortalKeyboardEvents> events;
  for (const QString restore : {"first", "second"}) {
    QVariantMap select{{"handle_token", "token"}, {"types", 1u}, {"persist_mode", 2u}};
    if (const auto stored = preferences_.stringValue(prefs::kRemoteDesktopRestoreToken)) {
      select.insert("restore_token", QString::fromStdString(*stored));
    }
    portal_->answer("Start", 0, {{"devices", 1u}, {"restore_token", restore}});
    events = keyboard();
    ASSERT_TRUE(waitUntil([&] { return !events->problem(); }));
    EXPECT_EQ(portal_->last("RemoteDesktop.CreateSession"), QVariantList{kNewSession});
    EXPECT_EQ(portal_->last("RemoteDesktop.SelectDevices"),
              (QVariantList{portal_->session(), select}));
    EXPECT_EQ(portal_->last("RemoteDesktop.Start"),
              (QVariantList{portal_->session(), "", kHandle}));
    EXPECT_EQ(preferences_.stringValue(prefs::kRemoteDesktopRestoreToken), restore.toStdString());
  }
  events->postKeyChord(kV, kControl | kShift);
  ASSERT_TRUE(waitUntil([&] { return keysSent().size() == 6; }));
  const int control = 0xffe3, shift = 0xffe1, v = 0x76;
  EXPECT_EQ(keysSent(),
            (std::vector<QVariantList>{
                {control, 1u}, {shift, 1u}, {v, 1u}, {v, 0u}, {shift, 0u}, {control, 0u}}));
  // A portal that lost the session (restarted) refuses the keys: the user hears of it once, and
  // the next paste goes through a new session.
  replacePortal({FakePortal::kRemoteDesktop});
  events->postKeyChord(kV, kControl);
  ASSERT_TRUE(waitUntil([&] { return !problems_.empty() && !events->problem(); }));
  EXPECT_EQ(problems_.size(), 1U);
  EXPECT_NE(problems_.front().find("did not take"), std::string::npos);
  events->postKeyChord(kV, kControl);
  EXPECT_TRUE(waitUntil([&] { return keysSent().size() == 4; }));
}

TEST_F(PortalClients, WithoutTheKeyboardNothingIsSentAndTheProblemSaysWhy) {
  for (const auto& [interface, code, results, problem] : std::vector<Case>{
           {FakePortal::kRemoteDesktop, -1, {}, "waiting for the desktop's permission"},
           {FakePortal::kRemoteDesktop, 1, {}, "not allowed"},
           {FakePortal::kRemoteDesktop, 0, {{"devices", 2u}}, "give Vellotype the keyboard"},
           {FakePortal::kRemoteDesktop, 0, {{"devices", 1u}}, "ended"},
           {FakePortal::kGlobalShortcuts, 0, {}, "no remote desktop portal"}}) {
    replacePortal({interface});
    portal_->answer("Start", code, results);
    auto events = keyboard();
    if (problem == "ended" && waitUntil([&] { return !events->problem(); })) endSession();
    ASSERT_TRUE(waitUntil([&] {
      return events->problem() && events->problem()->find(problem) != std::string::npos &&
             (interface != FakePortal::kRemoteDesktop ||
              !portal_->calls("RemoteDesktop.Start").empty());
    })) << problem;
    const auto why = *events->problem();
    problems_.clear();
    events->postKeyChord(kV, kControl);
    roundTrip();
    EXPECT_TRUE(keysSent().empty()) << problem;
    EXPECT_EQ(problems_, std::vector{why});
    EXPECT_NE(problems_.front().find("on the clipboard"), std::string::npos);
    // A session the desktop ended is asked for again at the paste; one the user refused is closed.
    EXPECT_TRUE(problem != "ended" || waitUntil([&] { return !events->problem(); }));
    const bool refused = code == 1 || results.value("devices") == 2u;
    EXPECT_EQ(portal_->calls("Session.Close").size(), refused ? 1U : 0U) << problem;
    // A request still open when the client goes is closed.
    events.reset();
    roundTrip();
    EXPECT_EQ(portal_->calls("Request.Close").size(), code < 0 ? 1U : 0U) << problem;
  }
}

}  // namespace
}  // namespace vellotype::testing

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
