// The cost of the key monitor's decision for one keyboard event: it sits in the path of every
// key the user types, on the tap's thread.

#include <benchmark/benchmark.h>

#include <memory>

#include "hotkey/KeyMonitor.h"
#include "platform/MainQueue.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

// Reports are posted, as in the program, but never run: the benchmark measures the decision
// and the hand-over, not the callbacks.
class DiscardingQueue : public MainQueue {
 public:
  void post(Task task) override { benchmark::DoNotOptimize(task); }
  void postAfter(double, Task task) override { benchmark::DoNotOptimize(task); }
};

class NoTap : public EventTap {
 public:
  StartResult start(const TriggerKey&, Filter) override { return StartResult::started; }
  void stop() override {}
};

KeyEvent event(KeyEvent::Type type, std::uint16_t code, std::uint64_t flags) {
  KeyEvent e;
  e.type = type;
  e.keyCode = code;
  e.modifierFlags = flags;
  return e;
}

// Typing that is not the trigger: what nearly every event is.
void BM_OtherKeyPassesThrough(benchmark::State& state) {
  DiscardingQueue queue;
  NoTap tap;
  auto monitor = std::make_shared<KeyMonitor>(tap, queue, TriggerKey::defaultKey());
  const auto key = event(KeyEvent::Type::keyDown, 0, 0);
  for (auto _ : state) benchmark::DoNotOptimize(monitor->handle(key));
}
BENCHMARK(BM_OtherKeyPassesThrough);

// A full press and release of the trigger: two decisions and two posted reports.
void BM_TriggerPressAndRelease(benchmark::State& state) {
  DiscardingQueue queue;
  NoTap tap;
  auto monitor = std::make_shared<KeyMonitor>(tap, queue, TriggerKey::defaultKey());
  const auto press = event(KeyEvent::Type::flagsChanged, 59, modifiers::kControl);
  const auto release = event(KeyEvent::Type::flagsChanged, 59, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(monitor->handle(press));
    benchmark::DoNotOptimize(monitor->handle(release));
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_TriggerPressAndRelease);

}  // namespace
}  // namespace vellotype

BENCHMARK_MAIN();
