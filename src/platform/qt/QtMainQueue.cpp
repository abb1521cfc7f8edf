#include "platform/qt/QtMainQueue.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace vellotype {

QtMainQueue::QtMainQueue() = default;

void QtMainQueue::post(Task task) {
  QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

void QtMainQueue::postAfter(double seconds, Task task) {
  // No delay keeps its place among posted tasks, as the queue's order promises.
  if (seconds <= 0) {
    post(std::move(task));
    return;
  }
  const auto delay = std::chrono::milliseconds(std::lround(std::max(0.0, seconds) * 1000));
  // A timer must be started on the thread it belongs to: hop to the main thread first.
  post([this, delay, task = std::move(task)]() mutable {
    QTimer::singleShot(delay, Qt::PreciseTimer, &context_, std::move(task));
  });
}

}  // namespace vellotype
