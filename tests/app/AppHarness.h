#pragma once
// The application object wired to fakes on virtual time. Unless told otherwise it has been
// launched, as it is by the time the user presses a key. On a ThreadSafeFakeMainQueue, real
// components that work on other threads can stand in for some of the fakes.

#include "app/AppDelegate.h"
#include "fakes/CallLog.h"
#include "fakes/FakeAlerts.h"
#include "fakes/FakeApplication.h"
#include "fakes/FakeHotkeySettingsWindow.h"
#include "fakes/FakeKeyMonitor.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeOverlayPanel.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRecordingRetry.h"
#include "fakes/FakeRefiner.h"
#include "fakes/FakeSettingsWindow.h"
#include "fakes/FakeSounds.h"
#include "fakes/FakeSpeechEngine.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeSystemLog.h"
#include "fakes/FakeTextInjector.h"
#include "fakes/FakeWorkspace.h"
#include "fakes/ThreadSafeFakeMainQueue.h"
#include "platform/PreferenceKeys.h"

namespace vellotype {

inline const FakeMainQueue& clockOf(const FakeMainQueue& queue) { return queue; }
inline const FakeMainQueue& clockOf(const ThreadSafeFakeMainQueue& queue) { return queue.clock(); }

template <class Queue = FakeMainQueue>
struct BasicAppHarness {
  static constexpr const char* kHelpURL = "file:///usr/share/doc/vellotype/README.html#keyboard";

  // `replace` runs before the application is made, to set usedKeyMonitor or usedRefiner.
  explicit BasicAppHarness(bool launched = true,
                           const std::function<void(BasicAppHarness&)>& replace = {}) {
    if (replace) replace(*this);
    app = std::make_shared<AppDelegate>(
        AppDelegate::Services{queue, preferences, sounds, alerts, systemLog, statusBar, application,
                              workspace, loginItems, kHelpURL,
                              [this] { return keyboardLimitation; },
                              [this] { return boundHotkeyName; }},
        AppDelegate::Components{
            .keyMonitor = usedKeyMonitor,
            .speechEngine = speech,
            .textInjector = injector,
            .refiner = *usedRefiner,
            .recordingRetry = retry,
            .makeOverlayPanel =
                [this] { return overlay = std::make_shared<FakeOverlayPanel>(log); },
            .makeHotkeySettingsWindow =
                [this] { return hotkeyWindow = std::make_shared<FakeHotkeySettingsWindow>(log); },
            .makeSettingsWindow = [this] { return std::make_shared<FakeSettingsWindow>(log); },
            .makeSpeechServiceSettingsWindow =
                [this] {
                  return speechServiceWindow =
                             std::make_shared<FakeSpeechServiceSettingsWindow>(log);
                },
        });
    if (launched) app->applicationDidFinishLaunching();
  }

  void enableRefinement() {
    preferences.setBool(prefs::kLLMEnabled, true);
    preferences.setString(prefs::kLLMAPIKey, "sk-test");
  }

  // Presses and releases the trigger key, the speech engine reporting `words` in between.
  void speak(const std::string& words) {
    app->triggerDown();
    speech->onPartialResult(words);
    app->triggerUp();
  }

  // The status menu's item at a path of titles, such as {"Language", "English (US)"}.
  MenuItem& menuItem(std::initializer_list<std::string_view> path) const {
    const Menu* menu = statusBar.menu.get();
    MenuItem* found = nullptr;
    for (const auto title : path) {
      found = nullptr;
      for (const auto& item : menu->items()) {
        if (item->title() == title) found = item.get();
      }
      if (!found) throw std::runtime_error("no menu item " + std::string(title));
      menu = found->submenu().get();
    }
    return *found;
  }

  Queue queue;
  CallLog log{clockOf(queue)};
  FakePreferences preferences;
  FakeSounds sounds{log};
  FakeAlerts alerts{log};
  FakeSystemLog systemLog{log};
  FakeStatusBar statusBar{log};
  FakeApplication application{log};
  FakeWorkspace workspace{log};
  FakeLoginItems loginItems{log};
  FakeRefiner refiner{log, queue};
  FakeRecordingRetry retry{log, queue};
  std::shared_ptr<FakeKeyMonitor> keyMonitor = std::make_shared<FakeKeyMonitor>(log);
  std::shared_ptr<FakeSpeechEngine> speech = std::make_shared<FakeSpeechEngine>(log);
  std::shared_ptr<FakeTextInjector> injector = std::make_shared<FakeTextInjector>(log);
  std::shared_ptr<KeyMonitorInterface> usedKeyMonitor = keyMonitor;
  RefinerInterface* usedRefiner = &refiner;
  std::shared_ptr<FakeOverlayPanel> overlay;
  std::shared_ptr<FakeHotkeySettingsWindow> hotkeyWindow;
  std::shared_ptr<FakeSpeechServiceSettingsWindow> speechServiceWindow;
  // What the session's keyboard tells the application.
  std::optional<std::string> keyboardLimitation;
  std::optional<std::string> boundHotkeyName;
  std::shared_ptr<AppDelegate> app;
};

using AppHarness = BasicAppHarness<>;

}  // namespace vellotype
