#include "platform/MainQueue.h"

#include <chrono>
#include <thread>

namespace vellotype {

void MainQueue::blockFor(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace vellotype
