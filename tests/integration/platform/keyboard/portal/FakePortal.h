#pragma once
// The XDG desktop portal as far as Vellotype uses it, written from its published interfaces:
// org.freedesktop.portal.Desktop with global shortcuts and remote desktop. It records every call
// and answers each request with the Response the test chose. It serves on a thread of its own,
// so that a client's blocking calls get their answer; owned by the test.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>
#include <map>
#include <mutex>
#include <vector>

namespace vellotype::testing {

class FakePortal : public QDBusVirtualObject {
 public:
  static inline const QString kPath = "/org/freedesktop/portal/desktop";
  static inline const QString kGlobalShortcuts = "org.freedesktop.portal.GlobalShortcuts";
  static inline const QString kRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";

  explicit FakePortal(const QStringList& interfaces);
  ~FakePortal() override;
  // The Response to `member` from now on; code -1 never answers, -2 fails the call. Unless told
  // otherwise the answer is success, with the session's handle for CreateSession, and a keyboard
  // for Start.
  void answer(const QString& member, int code, const QVariantMap& results = {});
  // The arguments of each call of "Interface.Member", such as "Session.Close", in order: object
  // paths as strings, dictionaries as maps, shortcuts as lists, the handle and session tokens the
  // client makes up as "token", and for a call without arguments (Close) the object's path.
  std::vector<QVariantList> calls(const QString& member) const;
  QVariantList last(const QString& member) const {
    const auto all = calls(member);
    return all.empty() ? QVariantList{"none"} : all.back();
  }
  // The handle of the session created last.
  QString session() const;
  void emitSignal(const QDBusMessage& signal) { bus_.send(signal); }
  // A global shortcuts signal ("Activated", "Deactivated" or "ShortcutsChanged") for `session`;
  // `value` is the shortcut's id, or for ShortcutsChanged the shortcuts.
  void emitShortcut(const QString& name, const QString& session, const QVariant& value);
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
  QString introspect(const QString&) const override { return {}; }

 private:
  const QStringList interfaces_;
  QDBusConnection bus_;
  QThread thread_;
  mutable std::mutex mutex_;
  std::multimap<QString, QVariantList> calls_;
  std::map<QString, std::pair<int, QVariantMap>> answers_;
  QString session_;
};

}  // namespace vellotype::testing
