#include "GioSessionBus.h"

#include <gio/gio.h>

namespace vellotype::testing {

GioSessionBus::GioSessionBus() {
  connection_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (connection_) g_dbus_connection_set_exit_on_close(connection_, FALSE);
}

GioSessionBus::~GioSessionBus() {
  if (connection_) g_object_unref(connection_);
}

}  // namespace vellotype::testing
