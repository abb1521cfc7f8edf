#pragma once
// Hands the portal's D-Bus signals it listens to on to a function, since QtDBus delivers signals
// to slots only. Main thread only; owned by a portal client, for as long as the client lives.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <functional>
#include <utility>
#include <vector>

namespace vellotype {

class PortalSignalRelay : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(const QDBusMessage&)>;

  PortalSignalRelay(QDBusConnection bus, Handler handler);
  ~PortalSignalRelay() override;
  PortalSignalRelay(const PortalSignalRelay&) = delete;
  PortalSignalRelay& operator=(const PortalSignalRelay&) = delete;

  // The portal's signal `name` of `interface`, from any of its objects.
  void listen(const QString& interface, const QString& name);

 public Q_SLOTS:
  void deliver(const QDBusMessage& message);

 private:
  QDBusConnection bus_;
  Handler handler_;
  std::vector<std::pair<QString, QString>> signals_;
};

}  // namespace vellotype
