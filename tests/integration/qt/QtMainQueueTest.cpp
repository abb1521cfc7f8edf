#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <thread>

#include "platform/qt/QtMainQueue.h"

namespace vellotype {
namespace {

TEST(QtMainQueue, TasksFromAnyThreadRunOnTheMainThreadInOrder) {
  QtMainQueue queue;
  std::vector<std::string> ran;
  const auto main = QThread::currentThread();
  bool allOnMain = true;
  const auto record = [&](std::string name) {
    return [&, name] {
      allOnMain = allOnMain && QThread::currentThread() == main;
      ran.push_back(name);
    };
  };
  queue.postAfter(0.05, record("later"));
  queue.postAfter(0, record("zero delay"));
  std::thread worker([&] {
    queue.post(record("worker 1"));
    queue.post(record("worker 2"));
    queue.postAfter(0.01, record("worker later"));
  });
  worker.join();

  QDeadlineTimer deadline(5000);
  while (ran.size() < 5 && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  EXPECT_THAT(
      ran, ::testing::ElementsAre("zero delay", "worker 1", "worker 2", "worker later", "later"));
  EXPECT_TRUE(allOnMain);
}

}  // namespace
}  // namespace vellotype
