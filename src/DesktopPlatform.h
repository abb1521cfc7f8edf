#pragma once
// The desktop services the program runs on, made in the order they depend on each other and gone
// in the reverse: the event loop's queue, preferences, sounds, tray, alerts, clipboard, keyboard,
// input methods, microphone, the files it keeps, HTTP and the local recogniser. Main thread only;
// made by main() once the QApplication exists and no other copy runs, kept until main() returns.

#include <QString>
#include <memory>

#include "platform/curl/CurlHttpSession.h"
#include "platform/inputsources/active/ActiveInputSources.h"
#include "platform/keyboard/session/SessionKeyboard.h"
#include "platform/posix/PosixSystemLog.h"
#include "platform/posix/XdgAutostart.h"
#include "platform/pulse/PulseAudioEngine.h"
#include "platform/pulse/PulseSounds.h"
#include "platform/qt/QtAlerts.h"
#include "platform/qt/QtApplication.h"
#include "platform/qt/QtMainQueue.h"
#include "platform/qt/QtPasteboard.h"
#include "platform/qt/QtPreferences.h"
#include "platform/qt/QtStatusBar.h"
#include "platform/qt/QtWorkspace.h"
#include "platform/recognition/sphinx/SphinxSpeechRecognition.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "refinement/DiagnosticLog.h"
#include "transcription/KeptRecordings.h"

namespace vellotype {

struct DesktopPlatform {
  DesktopPlatform();
  DesktopPlatform(const DesktopPlatform&) = delete;
  DesktopPlatform& operator=(const DesktopPlatform&) = delete;

  // An installed program keeps its files under share/ beside bin/; one run from its build tree
  // uses the source tree's.
  static QString locate(const QString& installed, const QString& inSourceTree);

  // On Wayland the clipboard as clipboard tools reach it, where the compositor allows that: its
  // XWayland bridge may serve only the X11 window that has the focus.
  Pasteboard& pasteboard() {
    return dataControl ? static_cast<Pasteboard&>(*dataControl) : x11Pasteboard;
  }

  QtMainQueue mainQueue;
  QtPreferences preferences;
  PulseSounds sounds;
  PosixSystemLog systemLog;
  QtStatusBar statusBar;
  QtApplication application;
  QtWorkspace workspace;
  XdgAutostart loginItems;
  QtAlerts alerts;
  QtPasteboard x11Pasteboard;
  std::unique_ptr<DataControlPasteboard> dataControl;
  // The hotkey and the paste keystroke by whatever ways this X11 or Wayland session offers.
  SessionKeyboard keyboard;
  ActiveInputSources inputSources;
  PulseAudioEngine audioEngine;
  DiagnosticLog diagnosticLog;
  KeptRecordings keptRecordings;
  // After the queue, the log and the kept recordings, which its last replies still use as it
  // shuts down.
  CurlHttpSession httpSession;
  SphinxSpeechRecognition localRecognition;
};

}  // namespace vellotype
