#pragma once
// The input sources of Fcitx5 through its controller on the session bus. Main thread only; owned
// by the input-source chooser.

#include <QDBusConnection>
#include <QDBusMessage>
#include <string_view>

#include "platform/InputSources.h"
#include "platform/inputsources/LatinLayouts.h"

namespace vellotype {

class Fcitx5InputSources : public InputSources {
 public:
  Fcitx5InputSources(QDBusConnection sessionBus, LatinLayouts& latinLayouts);

  // Whether Fcitx5 holds its name on the session bus now.
  bool isRunning();

  // Nothing while no application has had the focus: Fcitx5 keeps its state per input context.
  std::optional<InputSource> current() override;
  std::optional<std::vector<InputSource>> enabledASCIICapableSources() override;
  void select(const InputSource& source) override;

  // Keyboard layouts are the input methods "keyboard-<layout>" and "keyboard-<layout>-<variant>";
  // any other is an input method of its own, whatever layout it types through.
  static std::optional<KeyboardLayout> layoutOf(std::string_view inputMethod);

 private:
  InputSource sourceFor(const std::string& inputMethod);
  std::optional<QString> stringReply(const QString& method);
  QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                    const QString& method, const QList<QVariant>& arguments);
  QDBusMessage callController(const QString& method, const QList<QVariant>& arguments = {});

  QDBusConnection sessionBus_;
  LatinLayouts& latinLayouts_;
};

}  // namespace vellotype
