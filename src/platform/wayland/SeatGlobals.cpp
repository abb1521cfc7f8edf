#include "platform/wayland/SeatGlobals.h"

#include <cstdint>
#include <cstring>

namespace vellotype {
namespace {

struct Wanted {
  const wl_interface* interface;
  wl_seat** seat;
  void** global;
};

void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t) {
  auto& wanted = *static_cast<Wanted*>(data);
  if (!*wanted.seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
    *wanted.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (!*wanted.global && std::strcmp(interface, wanted.interface->name) == 0) {
    *wanted.global = wl_registry_bind(registry, name, wanted.interface, 1);
  }
}
void onGlobalRemove(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kRegistryListener{onGlobal, onGlobalRemove};

}  // namespace

bool bindSeatGlobals(wl_display* connection, const wl_interface& interface, wl_seat*& seat,
                     void*& global) {
  // Globals that come and go later do not matter: the registry goes once both are bound.
  Wanted wanted{&interface, &seat, &global};
  auto* registry = wl_display_get_registry(connection);
  wl_registry_add_listener(registry, &kRegistryListener, &wanted);
  const bool answered = wl_display_roundtrip(connection) >= 0;
  wl_registry_destroy(registry);
  return answered;
}

}  // namespace vellotype
