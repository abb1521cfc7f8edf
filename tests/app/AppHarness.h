#pragma once
// The application object wired to fakes on virtual time, with its status item and speech
// callbacks set up as at start-up.

#include <memory>
#include <string>

#include "app/AppDelegate.h"
#include "fakes/CallLog.h"
#include "fakes/FakeAlerts.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakeOverlayPanel.h"
#include "fakes/FakePreferences.h"
#include "fakes/FakeRefiner.h"
#include "fakes/FakeSounds.h"
#include "fakes/FakeSpeechEngine.h"
#include "fakes/FakeStatusBar.h"
#include "fakes/FakeSystemLog.h"
#include "fakes/FakeTextInjector.h"
#include "platform/PreferenceKeys.h"

namespace vellotype {

struct AppHarness {
  explicit AppHarness(bool statusAreaAvailable = true) {
    statusBar.hasButton = statusAreaAvailable;
    app = std::make_shared<AppDelegate>(
        AppDelegate::Services{queue, preferences, sounds, alerts, systemLog, statusBar},
        AppDelegate::Components{
            .keyMonitor = nullptr,
            .speechEngine = speech,
            .textInjector = std::make_shared<FakeTextInjector>(log),
            .refiner = refiner,
            .makeOverlayPanel =
                [this] {
                  ++overlaysMade;
                  overlay = std::make_shared<FakeOverlayPanel>(log);
                  return overlay;
                },
            .makeHotkeySettingsWindow = nullptr,
            .makeSettingsWindow = nullptr,
        });
    app->setupStatusBar();
    app->setupSpeechCallbacks();
  }

  void enableRefinement(const std::string& apiKey = "sk-test") {
    preferences.setBool(prefs::kLLMEnabled, true);
    preferences.setString(prefs::kLLMAPIKey, apiKey);
  }

  FakeMainQueue queue;
  CallLog log{queue};
  FakePreferences preferences;
  FakeSounds sounds{log};
  FakeAlerts alerts{log};
  FakeSystemLog systemLog{log};
  FakeStatusBar statusBar{log};
  FakeRefiner refiner{log, queue};
  std::shared_ptr<FakeSpeechEngine> speech = std::make_shared<FakeSpeechEngine>(log);
  std::shared_ptr<FakeOverlayPanel> overlay;
  int overlaysMade = 0;
  std::shared_ptr<AppDelegate> app;
};

}  // namespace vellotype
