#pragma once
// The application object: starts the program, owns the components, keeps the status item and
// its menu, and runs each utterance from key-down to delivered text. Main thread only. Created
// once by the composition root and kept, through a shared_ptr, for the life of the process.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/OrderedDeliveries.h"
#include "hotkey/HotkeySettingsWindowInterface.h"
#include "hotkey/KeyMonitorInterface.h"
#include "insertion/TextInjectorInterface.h"
#include "platform/Alerts.h"
#include "platform/Application.h"
#include "platform/LoginItems.h"
#include "platform/MainQueue.h"
#include "platform/OneShotTimer.h"
#include "platform/Preferences.h"
#include "platform/Sounds.h"
#include "platform/StatusItem.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "refinement/RefinerInterface.h"
#include "refinement/SettingsWindowInterface.h"
#include "speech/SpeechEngineInterface.h"
#include "transcription/RecordingRetryInterface.h"
#include "transcription/SpeechServiceSettingsWindowInterface.h"
#include "visual/OverlayPanelInterface.h"

namespace vellotype {

class AppDelegate : public std::enable_shared_from_this<AppDelegate> {
 public:
  // The platform's services; all outlive the application object.
  struct Services {
    MainQueue& mainQueue;
    Preferences& preferences;
    Sounds& sounds;
    Alerts& alerts;
    SystemLog& systemLog;
    StatusBar& statusBar;
    Application& application;
    Workspace& workspace;
    LoginItems& loginItems;
    // Where the user learns how to give the program access to the keyboard.
    std::string keyboardAccessHelpURL;
    // On Wayland: what of the keyboard the program reaches in X11 applications alone, and how to
    // reach it everywhere, ready to show; nothing when it reaches every application.
    std::function<std::optional<std::string>()> keyboardLimitation = {};
    // The key the desktop bound for the hotkey, when the desktop chose it.
    std::function<std::optional<std::string>()> boundHotkeyName = {};
  };

  // The components. The windows and the overlay are made on first use and then kept.
  struct Components {
    std::shared_ptr<KeyMonitorInterface> keyMonitor;
    std::shared_ptr<SpeechEngineInterface> speechEngine;
    std::shared_ptr<TextInjectorInterface> textInjector;
    RefinerInterface& refiner;
    RecordingRetryInterface& recordingRetry;
    std::function<std::shared_ptr<OverlayPanelInterface>()> makeOverlayPanel;
    std::function<std::shared_ptr<HotkeySettingsWindowInterface>()> makeHotkeySettingsWindow;
    std::function<std::shared_ptr<SettingsWindowInterface>()> makeSettingsWindow;
    std::function<std::shared_ptr<SpeechServiceSettingsWindowInterface>()>
        makeSpeechServiceSettingsWindow;
  };

  AppDelegate(Services services, Components components);

  bool isEnabled() const { return isEnabled_; }
  bool isRecording() const { return isRecording_; }
  const std::string& lastPartialResult() const { return lastPartialResult_; }

  // Start-up, once the event loop runs.
  void applicationDidFinishLaunching();
  void setupMainMenu();
  void setupStatusBar();
  void setupSpeechCallbacks();

  // The recording controller.
  void triggerDown();
  void triggerUp();
  void finishTranscription();
  void updateStatusIcon(bool recording);
  void showAlert(const std::string& title, const std::string& message);

  // The menu's commands.
  void updateHotkeyMenuItemTitle();
  void updateStartAtLoginMenuItem();
  void toggleEnabled();
  void toggleStartAtLogin();
  void openHotkeySettings();
  void changeLanguage(MenuItem& sender);
  void toggleLLM();
  void openLLMSettings();
  void openSpeechServiceSettings();
  void retryLastRecording();
  void quit();
  void showAccessibilityAlert();
  // The desktop refused or ended the hotkey's shortcut.
  void showHotkeyProblem(const std::string& problem);

  OverlayPanelInterface& overlayPanel();
  HotkeySettingsWindowInterface& hotkeySettingsWindow();
  SettingsWindowInterface& settingsWindow();
  SpeechServiceSettingsWindowInterface& speechServiceSettingsWindow();

 private:
  using Place = OrderedDeliveries::Place;

  // A transcript sent for correction, and the utterance it belongs to.
  struct PendingRefinement {
    std::uint64_t utterance;
    Place place;
    std::string transcript;
  };
  // An utterance a newer key-down replaced while the transcription service was still making
  // its final text.
  struct EarlierUtterance {
    Place place;
    std::string lastPartialResult;
    std::shared_ptr<OneShotTimer> finalResultTimer;
  };

  template <typename... Args>
  std::function<void(Args...)> weakly(void (AppDelegate::*method)(Args...));
  MenuItem::Action menuAction(void (AppDelegate::*method)());

  bool startKeyMonitor();
  void showStartupNotices();
  void offerSpeechSetup();
  void abandonRecording();

  void handlePartialResult(const std::string& text);
  void handleFinalResult(const std::string& text);
  void handleSpeechError(const std::string& message);
  void handleAudioLevel(float level);
  void handleLocaleUnavailable(const std::string& message);
  void handlePermissions(bool granted, std::optional<std::string> message);
  void handleEarlierResult(std::uint64_t recording, const std::string& text, bool isFinal);
  void handleEarlierError(std::uint64_t recording, const std::string& message);
  void finishEarlier(std::uint64_t recording, const std::optional<std::string>& finalText);
  void detachUtterance();
  void showRecordingFeedback();
  void cancelRecordingFeedback();
  void endOverlongHold();
  void retryCompleted(Place place, std::uint64_t capsuleOwner, const TranscriptionResult& result);
  void handleNotPasted();

  std::optional<std::string> closeUtterance();
  bool refinementConfigured() const;
  void startRefinement(const std::string& transcript);
  void refinementCompleted(std::uint64_t utterance, const RefineResult& result);
  void dismissOverlayIfCurrent(std::uint64_t utterance);
  void dismissThenDeliver(double delay, std::uint64_t utterance, Place place,
                          const std::string& text);
  void invalidateFinalResultTimer();
  std::string selectedLocaleCode() const;

  Services services_;
  Components components_;

  std::shared_ptr<StatusItem> statusItem_;
  std::shared_ptr<MenuItem> enableMenuItem_;
  std::shared_ptr<MenuItem> startAtLoginMenuItem_;
  std::shared_ptr<MenuItem> hotkeyMenuItem_;
  std::shared_ptr<MenuItem> llmMenuItem_;
  std::vector<std::shared_ptr<MenuItem>> languageItems_;
  std::shared_ptr<OverlayPanelInterface> overlayPanel_;
  std::shared_ptr<HotkeySettingsWindowInterface> hotkeySettingsWindow_;
  std::shared_ptr<SettingsWindowInterface> settingsWindow_;
  std::shared_ptr<SpeechServiceSettingsWindowInterface> speechServiceSettingsWindow_;

  bool isEnabled_ = true;
  bool isRecording_ = false;
  std::string lastPartialResult_;
  std::shared_ptr<OneShotTimer> finalResultTimer_;
  // The capsule, icon and sound of the current recording: shown, or waiting for a quiet start.
  bool feedbackShown_ = false;
  std::shared_ptr<OneShotTimer> feedbackTimer_;
  std::shared_ptr<OneShotTimer> longestHoldTimer_;

  // Each accepted key-down starts a new utterance. Work left over from an earlier one (a late
  // recogniser result, a delayed dismissal, a refinement reply) must never act on a later one.
  std::uint64_t utterance_ = 0;
  bool utteranceOpen_ = false;  // its transcript is not finished yet
  Place place_ = 0;             // the current utterance's place in the delivery line
  // After key-up, when the transcription service makes the final text: how long it may take.
  std::optional<double> remoteFinalResultWait_;
  std::optional<PendingRefinement> pendingRefinement_;
  std::map<std::uint64_t, EarlierUtterance> earlierUtterances_;  // by recording number
  std::shared_ptr<OrderedDeliveries> deliveries_;
};

template <typename... Args>
std::function<void(Args...)> AppDelegate::weakly(void (AppDelegate::*method)(Args...)) {
  return [weak = weak_from_this(), method](Args... args) {
    if (auto self = weak.lock()) ((*self).*method)(args...);
  };
}

}  // namespace vellotype
