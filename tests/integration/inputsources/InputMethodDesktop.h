#pragma once
// A private session bus, and IBus and Fcitx5 started, stopped and frozen on demand, for one test.
// Owned by the test on its thread.

#include <QDBusConnection>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "GioSessionBus.h"

namespace vellotype::testing {

class InputMethodDesktop {
 public:
  InputMethodDesktop();
  ~InputMethodDesktop();
  InputMethodDesktop(const InputMethodDesktop&) = delete;
  InputMethodDesktop& operator=(const InputMethodDesktop&) = delete;

  // Each step returns false and sets `error()` when a program cannot start, and
  // `programMissing()` when that is because its package is not installed.
  bool startSessionBus();
  bool startIBus();
  bool startFcitx5(const std::vector<std::string>& inputMethods);
  void stopIBus();
  void stopFcitx5();
  void freezeIBus();
  void thawIBus();

  // As the user would with IBus's preferences: through dconf, from another process.
  bool setIBusPreloadEngines(const std::vector<std::string>& engines);
  // An application's text field gets the focus, as Fcitx5 keeps its state per input context.
  bool focusFcitx5TextField();

  QDBusConnection sessionBus() const { return sessionBus_; }
  const std::string& error() const { return error_; }
  bool programMissing() const { return programMissing_; }
  std::string sessionBusLog() const;

  static bool waitUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  std::unique_ptr<ChildProcess> start(std::vector<std::string> arguments,
                                      const std::string& package);
  bool fcitx5IsReady();

  std::filesystem::path folder_;
  std::unique_ptr<ChildProcess> sessionBusDaemon_;
  std::unique_ptr<GioSessionBus> gioSessionBus_;
  std::unique_ptr<ChildProcess> ibus_;
  std::unique_ptr<ChildProcess> fcitx5_;
  QString connectionName_;
  QDBusConnection sessionBus_;
  std::string error_;
  bool programMissing_ = false;
};

}  // namespace vellotype::testing

// Skips the test when the framework is not installed here, and fails it when it is but does not
// start: CI installs every package scripts/setup lists.
#define VELLOTYPE_START_OR_SKIP(desktop, step)                           \
  do {                                                                   \
    if (!(desktop).step) {                                               \
      if ((desktop).programMissing()) GTEST_SKIP() << (desktop).error(); \
      FAIL() << (desktop).error();                                       \
    }                                                                    \
  } while (false)
