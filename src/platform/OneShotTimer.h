#pragma once
// A one-shot timer on the main queue that can be invalidated before it fires.
// Main thread only. The queue keeps a scheduled timer alive, so dropping the handle does not
// stop it: only invalidate() does.

#include <functional>
#include <memory>

#include "platform/MainQueue.h"

namespace vellotype {

class OneShotTimer {
 public:
  static std::shared_ptr<OneShotTimer> schedule(MainQueue& queue, double seconds,
                                                std::function<void()> block);

  // Keeps the block from running and releases what it captured.
  void invalidate();
  bool isValid() const { return block_ != nullptr; }

 private:
  explicit OneShotTimer(std::function<void()> block) : block_(std::move(block)) {}
  void fire();

  std::function<void()> block_;
};

}  // namespace vellotype
