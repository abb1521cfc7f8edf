#include "ApplicationComponents.h"

#include <cmath>
#include <random>

#include "hotkey/HotkeySettingsWindow.h"
#include "hotkey/TriggerKeyPreferences.h"
#include "insertion/TextInjector.h"
#include "platform/qt/QtHotkeySettingsView.h"
#include "platform/qt/QtOverlayWindow.h"
#include "platform/qt/QtSettingsView.h"
#include "platform/qt/QtSpeechServiceSettingsView.h"
#include "refinement/SettingsWindow.h"
#include "speech/SpeechEngine.h"
#include "transcription/SpeechServiceSettingsWindow.h"
#include "visual/OverlayPanel.h"

namespace vellotype {

ApplicationComponents::ApplicationComponents(DesktopPlatform& platform)
    : refiner(platform.preferences, platform.httpSession, platform.mainQueue,
              platform.diagnosticLog),
      transcriptionClient(platform.preferences, platform.httpSession, platform.mainQueue,
                          platform.diagnosticLog),
      recordingRetry(platform.keptRecordings, transcriptionClient, platform.mainQueue),
      speechRecognition(platform.localRecognition, platform.preferences, transcriptionClient,
                        platform.keptRecordings, platform.mainQueue),
      keyMonitor(std::make_shared<KeyMonitor>(platform.keyboard.eventTap(), platform.mainQueue,
                                              TriggerKeyPreferences::load(platform.preferences))),
      delegate(std::make_shared<AppDelegate>(services(platform), components(platform))) {
  platform.keyboard.onHotkeyProblem = [weak = std::weak_ptr(delegate)](const std::string& problem) {
    if (auto app = weak.lock()) app->showHotkeyProblem(problem);
  };
  platform.keyboard.onBoundHotkeyChanged = [weak = std::weak_ptr(delegate)] {
    if (auto app = weak.lock()) app->updateHotkeyMenuItemTitle();
  };
}

ApplicationComponents::~ApplicationComponents() { keyMonitor->stop(); }

AppDelegate::Services ApplicationComponents::services(DesktopPlatform& platform) {
  const auto readme = DesktopPlatform::locate("doc/vellotype/README.md", "README.md");
  auto& keyboard = platform.keyboard;
  return {
      .mainQueue = platform.mainQueue,
      .preferences = platform.preferences,
      .sounds = platform.sounds,
      .alerts = platform.alerts,
      .systemLog = platform.systemLog,
      .statusBar = platform.statusBar,
      .application = platform.application,
      .workspace = platform.workspace,
      .loginItems = platform.loginItems,
      .keyboardAccessHelpURL = "file://" + readme.toStdString() + "#giving-vellotype-the-keyboard",
      .keyboardLimitation = [&keyboard] { return keyboard.limitation(); },
      .boundHotkeyName = [&keyboard] { return keyboard.boundHotkeyName(); },
  };
}

AppDelegate::Components ApplicationComponents::components(DesktopPlatform& platform) {
  auto& preferences = platform.preferences;
  return {
      .keyMonitor = keyMonitor,
      .speechEngine = std::make_shared<SpeechEngine>(platform.audioEngine, speechRecognition,
                                                     platform.mainQueue, "zh-CN"),
      .textInjector =
          std::make_shared<TextInjector>(platform.pasteboard(), platform.inputSources,
                                         platform.keyboard.keyboardEvents(), platform.mainQueue),
      .refiner = refiner,
      .recordingRetry = recordingRetry,
      .makeOverlayPanel =
          [] {
            return std::make_shared<OverlayPanel>(
                std::make_unique<QtOverlayWindow>(),
                [random = std::mt19937(std::random_device()())](double low, double high) mutable {
                  return std::uniform_real_distribution<double>(
                      low, std::nextafter(high, high + 1))(random);
                });
          },
      .makeHotkeySettingsWindow =
          [&preferences] {
            return std::make_shared<HotkeySettingsWindow>(preferences,
                                                          std::make_unique<QtHotkeySettingsView>());
          },
      .makeSettingsWindow =
          [&preferences, this] {
            return std::make_shared<SettingsWindow>(preferences, refiner,
                                                    std::make_unique<QtSettingsView>());
          },
      .makeSpeechServiceSettingsWindow =
          [&preferences, this] {
            return std::make_shared<SpeechServiceSettingsWindow>(
                preferences, transcriptionClient, std::make_unique<QtSpeechServiceSettingsView>());
          },
  };
}

}  // namespace vellotype
