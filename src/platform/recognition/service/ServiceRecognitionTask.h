#pragma once
// One utterance recognised by the transcription service: the audio is gathered and converted
// once a second while the key is held (and, with live words on, the audio so far is sent for a
// partial result), and sent whole when it ends. A failed recording is kept for a retry. Main
// thread only; the request's audio arrives from the capture thread. Shared by the speech engine
// and the replies and ticks waiting on the main queue, which hold it weakly.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/MainQueue.h"
#include "platform/SpeechRecognizer.h"
#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/SpeechAudioConverter.h"
#include "text/TranscriptFormatter.h"
#include "transcription/KeptRecordings.h"
#include "transcription/TranscriptionClient.h"

namespace vellotype {

class ServiceRecognitionTask : public RecognitionTask,
                               public std::enable_shared_from_this<ServiceRecognitionTask> {
 public:
  static constexpr long kServiceError = 10;
  static constexpr long kUnsupportedRequestError = 2;
  // Live words are asked for at most this often, one request at a time.
  static constexpr double kTickSeconds = 1.0;
  // Recordings shorter than this are not sent: services refuse them.
  static constexpr double kShortestSeconds = 0.1;
  // Sound under −50 dBFS in every tenth of a second, where the level bars stay flat, is
  // silence: it is not sent, since services tend to hear words in it.
  static constexpr double kSilenceRMS = 32768 * 0.0031623;

  struct Options {
    std::string localeIdentifier;
    bool liveWords = false;
  };

  // Begins gathering the request's audio at once.
  static std::shared_ptr<ServiceRecognitionTask> start(
      TranscriptionClient& client, KeptRecordings& recordings, MainQueue& queue,
      std::shared_ptr<BufferedRecognitionRequest> request, SpeechRecognizer::ResultHandler handler,
      Options options);

  void cancel() override;
  std::optional<double> remoteFinalResultWait() const override;

 private:
  ServiceRecognitionTask(TranscriptionClient& client, KeptRecordings& recordings, MainQueue& queue,
                         std::shared_ptr<BufferedRecognitionRequest> request,
                         SpeechRecognizer::ResultHandler handler, Options options);

  void scheduleTick();
  void tick();
  void audioEnded();
  void takeAudio();
  std::string wav() const;
  void liveReplied(const TranscriptionResult& result);
  void finalReplied(const TranscriptionResult& result);
  void deliver(const std::optional<RecognitionResult>& result,
               const std::optional<RecognitionError>& error);

  TranscriptionClient& client_;
  KeptRecordings& recordings_;
  MainQueue& queue_;
  const std::shared_ptr<BufferedRecognitionRequest> request_;
  SpeechRecognizer::ResultHandler handler_;  // cleared once finished or cancelled
  const Options options_;
  const TranscriptFormatter formatter_;
  const bool reportsPartialResults_;
  const bool addsPunctuation_;

  SpeechAudioConverter converter_;
  std::vector<std::int16_t> samples_;  // 16 kHz mono, all of the utterance so far
  std::size_t checkedForSound_ = 0;
  bool voiced_ = false;
  bool ended_ = false;
  std::size_t liveSentSamples_ = 0;
  bool liveInFlight_ = false;
  std::shared_ptr<HttpTask> liveRequest_;
  std::shared_ptr<HttpTask> finalRequest_;
  std::atomic<bool> endNoticed_ = false;  // set by whichever thread ended the audio
};

}  // namespace vellotype
