#pragma once
// The transcription service's settings: endpoint, key, model, the languages it serves and live
// words, stored on Save or Test, and a trial request with a second of generated sound whose
// outcome shows in the status line. Main thread only; made by the application object on first
// use and kept, always through a shared_ptr (replies hold it weakly).

#include <memory>
#include <string_view>

#include "platform/Preferences.h"
#include "transcription/SpeechServiceSettingsView.h"
#include "transcription/SpeechServiceSettingsWindowInterface.h"
#include "transcription/TranscriptionClient.h"

namespace vellotype {

class SpeechServiceSettingsWindow
    : public SpeechServiceSettingsWindowInterface,
      public std::enable_shared_from_this<SpeechServiceSettingsWindow> {
 public:
  static constexpr std::string_view kKeyPlaceholder =
      "sk-... (a server on this computer needs none)";

  SpeechServiceSettingsWindow(Preferences& preferences, TranscriptionClient& client,
                              std::unique_ptr<SpeechServiceSettingsView> view);

  void makeKeyAndOrderFront() override;

  // Stores every field exactly as typed, but for line breaks around the key (see APIKeyField),
  // and the two choices; returns whether the status line says line breaks were removed.
  bool applyFields();
  void test();
  void save();

  // A second of a soft tone at 16 kHz: something to send that no service mistakes for silence.
  static std::string testSound();

 private:
  void showResult(const TranscriptionResult& result);

  Preferences& preferences_;
  TranscriptionClient& client_;
  std::unique_ptr<SpeechServiceSettingsView> view_;
};

}  // namespace vellotype
