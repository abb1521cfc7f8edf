#include "platform/inputsources/active/ActiveInputSources.h"

#include "platform/inputsources/ibus/IBusAddress.h"

namespace vellotype {

ActiveInputSources::ActiveInputSources(QDBusConnection sessionBus)
    : fcitx5_(std::move(sessionBus), latinLayouts_) {}

ActiveInputSources::~ActiveInputSources() = default;

// Frameworks are started, stopped and switched while the program runs. Every delivery of text
// starts with a look at the current source, and a look costs well under a millisecond while the
// daemons answer, so choosing there is simpler than following the bus's name changes.
std::optional<InputSource> ActiveInputSources::current() {
  active_ = &choose();
  return active_->current();
}

std::optional<std::vector<InputSource>> ActiveInputSources::enabledASCIICapableSources() {
  return active_->enabledASCIICapableSources();
}

void ActiveInputSources::select(const InputSource& source) { active_->select(source); }

// Fcitx5 comes first: it can stand in for IBus (its IBus frontend writes an IBus address file),
// never the other way round.
InputSources& ActiveInputSources::choose() {
  if (fcitx5_.isRunning()) return fcitx5_;
  const auto address = IBusAddress::locate(IBusAddress::Environment::ofThisProcess());
  if (!address) {
    ibus_.reset();
    return none_;
  }
  // A restarted daemon announces a new address; one that stopped answering gets another try.
  if (!ibus_ || ibus_->address() != *address || !ibus_->isConnected()) {
    ibus_.reset();
    ibus_ = std::make_unique<IBusInputSources>(*address, latinLayouts_);
  }
  if (ibus_->isConnected()) return *ibus_;
  return none_;
}

}  // namespace vellotype
