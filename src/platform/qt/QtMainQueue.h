#pragma once
// The main queue on the Qt event loop of the main thread. post() and postAfter() are safe from
// any thread. Created by the composition root after the QApplication and kept until it ends.

#include <QObject>

#include "platform/MainQueue.h"

namespace vellotype {

class QtMainQueue : public MainQueue {
 public:
  QtMainQueue();

  void post(Task task) override;
  void postAfter(double seconds, Task task) override;

 private:
  // Lives on the main thread; queued calls and timers aimed at it run there.
  QObject context_;
};

}  // namespace vellotype
