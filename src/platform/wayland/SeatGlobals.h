#pragma once
// What the program's own Wayland connections need from the compositor: the seat and one
// protocol's manager. Used on the thread that owns the connection, once, as it is made.

#include <wayland-client.h>

namespace vellotype {

// Binds the first seat and the first global of `interface` (version 1), in one round trip; false
// when the compositor closed the connection. Either stays null when the compositor has none.
bool bindSeatGlobals(wl_display* connection, const wl_interface& interface, wl_seat*& seat,
                     void*& global);

template <typename Global>
bool bindSeatGlobals(wl_display* connection, const wl_interface& interface, wl_seat*& seat,
                     Global*& global) {
  void* bound = nullptr;
  const bool answered = bindSeatGlobals(connection, interface, seat, bound);
  global = static_cast<Global*>(bound);
  return answered;
}

}  // namespace vellotype
