// The desktop's portal for scripts that run the whole program in a Wayland session: it offers
// global shortcuts only (so the paste takes the next way, the virtual keyboard), binds the
// program's shortcut to Control, and reports its press and release when told so by a "press" or
// "release" line on standard input. Prints "ready" once it serves and "bound" once the program
// has bound its shortcut.

#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <string>

#include "FakePortal.h"
#include "platform/keyboard/portal/PortalShortcutTap.h"

using vellotype::PortalShortcutTap;
using vellotype::testing::FakePortal;

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  FakePortal portal({FakePortal::kGlobalShortcuts});
  const QString id = PortalShortcutTap::kShortcutId;
  using Shortcuts = QList<QPair<QString, QVariantMap>>;
  const Shortcuts bound{{id, {{"trigger_description", "Control"}}}};
  portal.answer("BindShortcuts", 0, {{"shortcuts", QVariant::fromValue(bound)}});
  std::puts("ready");
  std::fflush(stdout);

  QTimer binding;
  QObject::connect(&binding, &QTimer::timeout, [&] {
    if (portal.calls("GlobalShortcuts.BindShortcuts").empty()) return;
    std::puts("bound");
    std::fflush(stdout);
    binding.stop();
  });
  binding.start(20);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  std::string pending;
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[256];
    const auto count = read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) return QCoreApplication::quit();
    pending.append(buffer, static_cast<std::size_t>(count));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const auto line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (line != "press" && line != "release") continue;
      portal.emitShortcut(line == "press" ? "Activated" : "Deactivated", portal.session(), id);
    }
  });
  return QCoreApplication::exec();
}
