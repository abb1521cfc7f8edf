#pragma once
// An event tap in front of a real one that records each event handed to the filter, so that a
// test can wait until the tap has seen an event and check that it saw each change once. The
// record is written on the tap's thread and read on the test thread. Owned by the test.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/EventTap.h"

namespace vellotype::testing {

class ObservedEventTap : public EventTap {
 public:
  explicit ObservedEventTap(EventTap& tap) : tap_(tap) {}

  StartResult start(const TriggerKey& trigger, Filter filter) override;
  void stop() override { tap_.stop(); }

  bool waitUntil(const std::function<bool(const std::vector<KeyEvent>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(2));
  std::vector<KeyEvent> events();

 private:
  EventTap& tap_;
  std::mutex mutex_;
  std::condition_variable seen_;
  std::vector<KeyEvent> events_;
};

}  // namespace vellotype::testing
