#pragma once
// Keeps GIO's shared session-bus connection, which dconf reads through, from ending the process
// when a test's private bus stops. Owned by the test's desktop, on the test's thread.

typedef struct _GDBusConnection GDBusConnection;

namespace vellotype::testing {

class GioSessionBus {
 public:
  // Connects GIO to the session bus now set in the environment, to outlive that bus.
  GioSessionBus();
  ~GioSessionBus();
  GioSessionBus(const GioSessionBus&) = delete;
  GioSessionBus& operator=(const GioSessionBus&) = delete;

 private:
  // Held, as GIO would make a new one, ending the process again, once nobody holds this one.
  GDBusConnection* connection_ = nullptr;
};

}  // namespace vellotype::testing
