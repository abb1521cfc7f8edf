#include "platform/keyboard/portal/PortalSignalRelay.h"

namespace vellotype {
namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const char* const kSlot = SLOT(deliver(QDBusMessage));

}  // namespace

PortalSignalRelay::PortalSignalRelay(QDBusConnection bus, Handler handler)
    : bus_(std::move(bus)), handler_(std::move(handler)) {}

PortalSignalRelay::~PortalSignalRelay() {
  for (const auto& [interface, name] : signals_) {
    bus_.disconnect(kService, QString(), interface, name, this, kSlot);
  }
}

void PortalSignalRelay::listen(const QString& interface, const QString& name) {
  // An empty path matches every object: request and session handles are only known per call.
  if (bus_.connect(kService, QString(), interface, name, this, kSlot)) {
    signals_.emplace_back(interface, name);
  }
}

void PortalSignalRelay::deliver(const QDBusMessage& message) { handler_(message); }

}  // namespace vellotype
