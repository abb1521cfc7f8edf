#include "transcription/RecordingRetry.h"

#include "text/TranscriptFormatter.h"

namespace vellotype {

RecordingRetry::RecordingRetry(KeptRecordings& recordings, TranscriptionClient& client,
                               MainQueue& mainQueue)
    : recordings_(recordings), client_(client), mainQueue_(mainQueue) {}

bool RecordingRetry::retryLastRecording(Completion completion) {
  const auto recording = recordings_.newest();
  if (!recording) return false;
  auto wav = recordings_.read(*recording);
  if (!wav) {
    mainQueue_.post([completion = std::move(completion)] {
      completion(TranscriptionError{"The kept recording could not be read"});
    });
    return true;
  }
  client_.transcribe(std::move(*wav), recording->localeIdentifier, "retry",
                     [&recordings = recordings_, recording = *recording,
                      completion = std::move(completion)](const TranscriptionResult& result) {
                       const auto* text = std::get_if<std::string>(&result);
                       if (!text) {
                         completion(result);
                         return;
                       }
                       recordings.remove(recording);
                       const TranscriptFormatter formatter(recording.localeIdentifier);
                       completion(formatter.format(*text, true, true));
                     });
  return true;
}

}  // namespace vellotype
