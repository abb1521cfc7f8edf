// The composition root: builds the platform's services and the components, hands them to the
// application object and runs the Qt event loop until the program quits.

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QPalette>
#include <QStandardPaths>
#include <memory>
#include <random>

#include "app/AppDelegate.h"
#include "hotkey/HotkeySettingsWindow.h"
#include "hotkey/KeyMonitor.h"
#include "hotkey/TriggerKeyPreferences.h"
#include "insertion/TextInjector.h"
#include "platform/curl/CurlHttpSession.h"
#include "platform/inputsources/active/ActiveInputSources.h"
#include "platform/keyboard/session/SessionKeyboard.h"
#include "platform/posix/PosixSystemLog.h"
#include "platform/posix/XdgAutostart.h"
#include "platform/pulse/PulseAudioEngine.h"
#include "platform/pulse/PulseSounds.h"
#include "platform/qt/QtAlerts.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtHotkeySettingsView.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QtOverlayWindow.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/qt/QtPreferences.h"
#include "platform/qt/QtSettingsView.h"
#include "platform/qt/QtSpeechServiceSettingsView.h"
#include "platform/qt/QtStatusBar.h"
#include "platform/qt/QtWorkspace.h"
#include "platform/qt/VectorIconEngine.h"
#include "platform/recognition/routing/RoutedSpeechRecognition.h"
#include "platform/recognition/sphinx/SphinxSpeechRecognition.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "refinement/DiagnosticLog.h"
#include "refinement/LLMRefiner.h"
#include "refinement/SettingsWindow.h"
#include "speech/SpeechEngine.h"
#include "transcription/KeptRecordings.h"
#include "transcription/RecordingRetry.h"
#include "transcription/SpeechServiceSettingsWindow.h"
#include "transcription/TranscriptionClient.h"
#include "values/TriggerKey.h"
#include "visual/OverlayPanel.h"
#include "visual/StatusBarIcon.h"

namespace {

// An installed program keeps its files under share/ beside bin/; one run from its build tree
// uses the source tree's.
QString locate(const QString& installed, const QString& inSourceTree) {
  const QString path = QCoreApplication::applicationDirPath() + "/../share/" + installed;
  if (QFileInfo::exists(path)) return QDir::cleanPath(path);
  return QStringLiteral(VELLOTYPE_SOURCE_DIR "/") + inSourceTree;
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace vellotype;

  // The hotkey, the paste and the capsule's placement all go through the X server, so on a
  // Wayland session the program is an XWayland client too.
  if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
      !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Vellotype");
  QApplication::setOrganizationName("Vellotype");
  // Closing a settings window or an alert must not end a program that has no main window.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(QIcon(new VectorIconEngine(
      StatusBarIcon::image(false), QApplication::palette().color(QPalette::WindowText))));

  QtAlerts alerts;
  // A second copy would find its own hotkey taken and explain the wrong problem.
  QLockFile lock(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                 "/vellotype.lock");
  lock.setStaleLockTime(0);
  if (!lock.tryLock(0)) {
    alerts.runModal({.messageText = "Vellotype Is Already Running",
                     .informativeText = "Its icon is in the system tray.",
                     .style = Alert::Style::informational,
                     .buttons = {"OK"}});
    return 1;
  }

  QtMainQueue mainQueue;
  QtPreferences preferences;
  PulseSounds sounds(locate("vellotype/sounds", "assets/sounds").toStdString());
  PosixSystemLog systemLog;
  QtStatusBar statusBar;
  QtApplication desktopApplication;
  QtWorkspace workspace;
  XdgAutostart loginItems(
      locate("applications/vellotype.desktop", "assets/vellotype.desktop").toStdString());
  // The hotkey and the paste keystroke by whatever ways this X11 or Wayland session offers.
  // On Wayland the clipboard as clipboard tools reach it, where the compositor allows that: its
  // XWayland bridge may serve only the X11 window that has the focus.
  QtPasteboard x11Pasteboard;
  std::string noDataControl;
  const auto dataControl =
      workspace.isWaylandSession() ? DataControlPasteboard::create("", noDataControl) : nullptr;
  Pasteboard& pasteboard = dataControl ? static_cast<Pasteboard&>(*dataControl) : x11Pasteboard;
  SessionKeyboard sessionKeyboard(workspace.isWaylandSession(), preferences, mainQueue,
                                  [&] { return dataControl || x11Pasteboard.textWasOffered(); });
  ActiveInputSources inputSources(QDBusConnection::sessionBus());
  PulseAudioEngine audioEngine;
  DiagnosticLog diagnosticLog(DiagnosticLog::defaultPath());
  KeptRecordings keptRecordings(KeptRecordings::defaultFolder());
  // After the queue, the log and the kept recordings, which its last replies still use as it
  // shuts down.
  CurlHttpSession httpSession;
  LLMRefiner refiner(preferences, httpSession, mainQueue, diagnosticLog);
  TranscriptionClient transcriptionClient(preferences, httpSession, mainQueue, diagnosticLog);
  RecordingRetry recordingRetry(keptRecordings, transcriptionClient, mainQueue);
  // Each language is recognised by its local model, the transcription service, or both.
  SphinxSpeechRecognition localRecognition(mainQueue);
  RoutedSpeechRecognition speechRecognition(localRecognition, preferences, transcriptionClient,
                                            keptRecordings, mainQueue);

  auto keyMonitor = std::make_shared<KeyMonitor>(sessionKeyboard.eventTap(), mainQueue,
                                                 TriggerKeyPreferences::load(preferences));
  const auto readme = locate("doc/vellotype/README.md", "README.md");
  auto delegate = std::make_shared<AppDelegate>(
      AppDelegate::Services{
          .mainQueue = mainQueue,
          .preferences = preferences,
          .sounds = sounds,
          .alerts = alerts,
          .systemLog = systemLog,
          .statusBar = statusBar,
          .application = desktopApplication,
          .workspace = workspace,
          .loginItems = loginItems,
          .keyboardAccessHelpURL =
              "file://" + readme.toStdString() + "#giving-vellotype-the-keyboard",
          .keyboardLimitation = [&sessionKeyboard] { return sessionKeyboard.limitation(); },
          .boundHotkeyName = [&sessionKeyboard] { return sessionKeyboard.boundHotkeyName(); },
      },
      AppDelegate::Components{
          .keyMonitor = keyMonitor,
          .speechEngine =
              std::make_shared<SpeechEngine>(audioEngine, speechRecognition, mainQueue, "zh-CN"),
          .textInjector = std::make_shared<TextInjector>(
              pasteboard, inputSources, sessionKeyboard.keyboardEvents(), mainQueue),
          .refiner = refiner,
          .recordingRetry = recordingRetry,
          .makeOverlayPanel =
              [] {
                return std::make_shared<OverlayPanel>(
                    std::make_unique<QtOverlayWindow>(),
                    [random = std::mt19937(std::random_device()())](double low,
                                                                    double high) mutable {
                      return std::uniform_real_distribution<double>(
                          low, std::nextafter(high, high + 1))(random);
                    });
              },
          .makeHotkeySettingsWindow =
              [&preferences] {
                return std::make_shared<HotkeySettingsWindow>(
                    preferences, std::make_unique<QtHotkeySettingsView>());
              },
          .makeSettingsWindow =
              [&preferences, &refiner] {
                return std::make_shared<SettingsWindow>(preferences, refiner,
                                                        std::make_unique<QtSettingsView>());
              },
          .makeSpeechServiceSettingsWindow =
              [&preferences, &transcriptionClient] {
                return std::make_shared<SpeechServiceSettingsWindow>(
                    preferences, transcriptionClient,
                    std::make_unique<QtSpeechServiceSettingsView>());
              },
      });

  sessionKeyboard.onHotkeyProblem = [weak = std::weak_ptr(delegate)](const std::string& problem) {
    if (auto app = weak.lock()) app->showHotkeyProblem(problem);
  };
  sessionKeyboard.onBoundHotkeyChanged = [weak = std::weak_ptr(delegate)] {
    if (auto app = weak.lock()) app->updateHotkeyMenuItemTitle();
  };
  mainQueue.post([&delegate] { delegate->applicationDidFinishLaunching(); });
  const int status = QApplication::exec();
  keyMonitor->stop();
  return status;
}
