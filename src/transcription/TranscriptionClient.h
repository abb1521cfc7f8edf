#pragma once
// Sends a recording to an OpenAI-compatible transcription endpoint and reads its text: one
// multipart request, the reply checked, Chinese put in the chosen script, and one line in the
// diagnostic log. transcribe() runs on the main thread; replies are read on the HTTP session's
// worker and completed on the main queue. Made by the composition root and kept.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/HttpSession.h"
#include "platform/MainQueue.h"
#include "platform/Preferences.h"
#include "refinement/DiagnosticLog.h"
#include "transcription/TranscriptionResult.h"

namespace vellotype {

// How long a transcription request may take: services decode the whole recording before they
// answer, so the limit grows with its length.
struct TranscriptionTiming {
  double baseSeconds = 15;
  double perAudioSecond = 1;
};

class TranscriptionClient {
 public:
  using Timing = TranscriptionTiming;
  using Completion = std::function<void(const TranscriptionResult& result)>;

  TranscriptionClient(Preferences& preferences, HttpSession& session, MainQueue& mainQueue,
                      DiagnosticLog& log, Timing timing = {});

  double timeoutFor(double audioSeconds) const;
  // ISO 639-1 from a locale identifier ("zh-TW" → "zh"); empty when it names no language, and
  // the service then detects it.
  static std::string languageCode(std::string_view localeIdentifier);

  // Sends `wav` with the settings stored now. `purpose` names the request in the log ("final",
  // "live", "retry", "test"). The completion runs exactly once, on the main queue, with the
  // trimmed text; nothing is returned when no request could be sent.
  std::shared_ptr<HttpTask> transcribe(std::string wav, const std::string& localeIdentifier,
                                       std::string_view purpose, Completion completion);

 private:
  Preferences& preferences_;
  HttpSession& session_;
  MainQueue& mainQueue_;
  DiagnosticLog& log_;
  Timing timing_;
};

}  // namespace vellotype
