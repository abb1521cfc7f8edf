#pragma once
// The input sources of IBus over the daemon's own bus: its global engine, the user's engines.
// Main thread only; owned by the input-source chooser, which makes one for each daemon it finds.

#include <QDBusConnection>
#include <QDBusMessage>
#include <string_view>

#include "platform/InputSources.h"
#include "platform/inputsources/LatinLayouts.h"
#include "platform/inputsources/ibus/IBusPreloadEngines.h"

namespace vellotype {

class IBusInputSources : public InputSources {
 public:
  // Connects to the daemon's bus at `address`, giving up after a moment.
  IBusInputSources(std::string address, LatinLayouts& latinLayouts);
  ~IBusInputSources() override;
  IBusInputSources(const IBusInputSources&) = delete;
  IBusInputSources& operator=(const IBusInputSources&) = delete;

  const std::string& address() const { return address_; }
  // False when the daemon did not answer in time, or has gone since.
  bool isConnected() const;

  std::optional<InputSource> current() override;
  std::optional<std::vector<InputSource>> enabledASCIICapableSources() override;
  void select(const InputSource& source) override;

  // Keyboard-layout engines are named "xkb:<layout>:<variant>:<language>"; engines of any other
  // kind are input methods, whatever layout they type through.
  static std::optional<KeyboardLayout> layoutOf(std::string_view engine);

 private:
  InputSource sourceFor(const std::string& engine);
  std::optional<std::string> globalEngine();
  QDBusMessage call(const QString& interface, const QString& method,
                    const QList<QVariant>& arguments);

  std::string address_;
  QString connectionName_;
  QDBusConnection connection_;
  bool connectedInTime_ = false;
  IBusPreloadEngines preloadEngines_;
  LatinLayouts& latinLayouts_;
};

}  // namespace vellotype
