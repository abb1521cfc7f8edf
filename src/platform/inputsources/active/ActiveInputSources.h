#pragma once
// The input sources of whichever framework runs, chosen anew at each look at the current source:
// Fcitx5, else IBus, else none. Main thread only; owned by the composition root.

#include <QDBusConnection>
#include <memory>

#include "platform/InputSources.h"
#include "platform/inputsources/LatinLayouts.h"
#include "platform/inputsources/fcitx/Fcitx5InputSources.h"
#include "platform/inputsources/ibus/IBusInputSources.h"
#include "platform/inputsources/none/NoInputSources.h"

namespace vellotype {

class ActiveInputSources : public InputSources {
 public:
  explicit ActiveInputSources(QDBusConnection sessionBus);
  ~ActiveInputSources() override;

  std::optional<InputSource> current() override;
  // These two go to the framework the last look at the current source found.
  std::optional<std::vector<InputSource>> enabledASCIICapableSources() override;
  void select(const InputSource& source) override;

 private:
  InputSources& choose();

  LatinLayouts latinLayouts_;
  Fcitx5InputSources fcitx5_;
  std::unique_ptr<IBusInputSources> ibus_;
  NoInputSources none_;
  InputSources* active_ = &none_;
};

}  // namespace vellotype
