// The transcription service over real HTTP against a loopback service that really transcribes
// English with the program's own recogniser: the request exactly as sent, the language and
// script of each locale, every kind of failure, and a kept recording sent again.

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <fstream>

#include "LoopbackTranscriptionService.h"
#include "SynthesizedSpeech.h"
#include "fakes/FakePreferences.h"
#include "fakes/TemporaryFolder.h"
#include "fakes/ThreadSafeFakeMainQueue.h"
#include "platform/PreferenceKeys.h"
#include "platform/curl/CurlHttpSession.h"
#include "platform/recognition/BufferedRecognitionRequest.h"
#include "platform/recognition/service/ServiceSpeechRecognizer.h"
#include "transcription/PcmWav.h"
#include "transcription/RecordingRetry.h"

namespace vellotype {

void PrintTo(const TranscriptionError& error, std::ostream* out) { *out << error.description; }

namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::LoopbackTranscriptionService;
using ::testing::MatchesRegex;
using testing::SynthesizedSpeech;

// The form's parts as the server parsed them.
using Parts = std::map<std::string, httplib::MultipartFormData>;

class TranscriptionServiceTest : public ::testing::Test {
 protected:
  TranscriptionServiceTest() {
    preferences.setString(prefs::kSpeechServiceBaseURL, service.baseURL());
    preferences.setString(prefs::kSpeechServiceModel, "test-model");
  }

  // Sends `wav` and runs the main queue until the completion has run.
  TranscriptionResult transcribe(const std::string& wav, const std::string& locale,
                                 TranscriptionClient* via = nullptr) {
    std::optional<TranscriptionResult> result;
    (via ? *via : client).transcribe(wav, locale, "final", [&](const auto& r) { result = r; });
    EXPECT_TRUE(queue.runUntil([&] { return result.has_value(); }, 10s));
    return result.value_or(TranscriptionError{"no answer"});
  }
  // Answers every request with `status` and `body`, keeping the parts of the last one.
  void answerWith(int status, std::string body) {
    service.server().answerWith(
        [=, this](const httplib::Request& request, httplib::Response& response) {
          const std::lock_guard lock(mutex);
          parts.clear();
          for (const auto& [name, part] : request.files) parts[name] = part;
          response.status = status;
          response.set_content(body, "application/json");
        });
  }
  Parts lastParts() {
    const std::lock_guard lock(mutex);
    return parts;
  }
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    std::ifstream file(folder / "Vellotype.log");
    for (std::string line; std::getline(file, line);) lines.push_back(line.substr(23));
    return lines;
  }

  SynthesizedSpeech speech;
  TemporaryFolder folder;
  ThreadSafeFakeMainQueue queue;
  FakePreferences preferences;
  DiagnosticLog log{folder / "Vellotype.log"};
  KeptRecordings kept{folder / "recordings"};
  // Before the service, whose last answers may still write to them as it stops.
  std::mutex mutex;
  Parts parts;
  LoopbackTranscriptionService service{{{"ja", "\u4eca\u65e5\u306f"}}};
  CurlHttpSession session;
  // Time for the real decoding, and a client that soon gives up on a service that stalls.
  TranscriptionClient client{preferences, session, queue, log};
  TranscriptionClient hasty{
      preferences, session, queue, log, {.baseSeconds = 0.5, .perAudioSecond = 0}};
};

TEST_F(TranscriptionServiceTest, TheRequestCarriesTheWavEveryFieldAndAKeyOnlyWhenThereIsOne) {
  answerWith(200, R"({"text":"ok"})");
  std::vector<std::int16_t> samples(8000);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::int16_t(i * 7);
  const auto wav = PcmWav::encode(samples, 16000);
  EXPECT_EQ(transcribe(wav, "ko-KR"), TranscriptionResult("ok"));
  preferences.setString(prefs::kSpeechServiceAPIKey, " sk-test\n");
  transcribe(wav, "ko-KR");

  const auto received = service.server().received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].method, "POST");
  EXPECT_EQ(received[0].path, "/v1/audio/transcriptions");
  EXPECT_THAT(received[0].headers.find("Content-Type")->second,
              MatchesRegex("multipart/form-data; boundary=vellotype-[0-9a-f]+"));
  EXPECT_EQ(received[0].headers.count("Authorization"), 0u);
  EXPECT_EQ(received[1].headers.find("Authorization")->second, "Bearer sk-test");

  const auto sent = lastParts();
  ASSERT_EQ(sent.size(), 5u);
  const auto& file = sent.at("file");
  EXPECT_EQ(file.filename, "audio.wav");
  EXPECT_EQ(file.content_type, "audio/wav");
  ASSERT_EQ(file.content, wav);
  // RIFF, 16-bit PCM, mono, 16 kHz, and a data chunk as long as the samples.
  EXPECT_EQ(file.content.substr(0, 4), "RIFF");
  EXPECT_EQ(file.content.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(file.content.substr(20, 4), std::string("\1\0\1\0", 4));
  EXPECT_EQ(file.content.substr(24, 4), std::string("\x80\x3e\0\0", 4));
  EXPECT_EQ(file.content.substr(34, 6), std::string("\x10\0data", 6));
  EXPECT_EQ(file.content.size(), 44 + samples.size() * 2);
  EXPECT_EQ(std::uint8_t(file.content[40]) | std::uint8_t(file.content[41]) << 8, 16000);
  EXPECT_EQ(sent.at("model").content, "test-model");
  EXPECT_EQ(sent.at("language").content, "ko");
  EXPECT_EQ(sent.at("response_format").content, "json");
  EXPECT_EQ(sent.at("temperature").content, "0");

  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], MatchesRegex("Transcription: " + service.baseURL() +
                                     "/audio/transcriptions model=test-model language=ko "
                                     "audio=0.50s purpose=final -> ok in [0-9]+ ms"));
  EXPECT_THAT(lines[1], ::testing::Not(HasSubstr("sk-test")));
}

TEST_F(TranscriptionServiceTest, EachLocaleSendsItsLanguageAndChineseComesInTheChosenScript) {
  const auto wav = PcmWav::encode(std::vector<std::int16_t>(1600), 16000);
  const std::string mixed = "  \u6211\u5011\u9700\u8981\u66f4\u591a\u65f6\u95f4\u3002 ";
  answerWith(200, nlohmann::json{{"text", mixed}}.dump());
  // clang-format off
  for (const auto& [locale, language, text] : {
           std::tuple{"zh-CN", "zh", "\u6211\u4eec\u9700\u8981\u66f4\u591a\u65f6\u95f4\u3002"},
           {"zh-TW", "zh", "\u6211\u5011\u9700\u8981\u66f4\u591a\u6642\u9593\u3002"},
           {"ja-JP", "ja", "\u6211\u5011\u9700\u8981\u66f4\u591a\u65f6\u95f4\u3002"},
           {"en-US", "en", "\u6211\u5011\u9700\u8981\u66f4\u591a\u65f6\u95f4\u3002"}}) {
    // clang-format on
    EXPECT_EQ(transcribe(wav, locale), TranscriptionResult(text)) << locale;
    EXPECT_EQ(lastParts().at("language").content, language) << locale;
  }
  transcribe(wav, "");
  EXPECT_EQ(lastParts().count("language"), 0u) << "the service finds out";
}

TEST_F(TranscriptionServiceTest, EveryFailureHasAShortReasonAndOneLogLine) {
  const auto wav = PcmWav::encode(std::vector<std::int16_t>(1600), 16000);
  const auto error = [](std::string text) { return TranscriptionResult(TranscriptionError{text}); };
  answerWith(401, R"({"error":{"message":"Incorrect API key provided: sk-te***st"}})");
  EXPECT_EQ(transcribe(wav, "en-US"), error("The speech service refused the API key (HTTP 401)"));
  answerWith(500, "Internal Server Error");
  EXPECT_EQ(transcribe(wav, "en-US"), error("The speech service failed (HTTP 500)"));
  answerWith(200, "<html>not json</html>");
  EXPECT_EQ(transcribe(wav, "en-US"), error("The speech service's reply could not be read"));
  answerWith(200, R"({"text":42})");
  EXPECT_EQ(transcribe(wav, "en-US"), error("The speech service's reply could not be read"));
  answerWith(200, std::string(9 << 20, ' '));
  EXPECT_EQ(transcribe(wav, "en-US"), error("The speech service's reply was too large"));
  service.server().holdRequests();
  EXPECT_EQ(transcribe(wav, "en-US", &hasty),
            error("The speech service did not answer within 1 s"));
  service.server().release();
  preferences.setString(prefs::kSpeechServiceBaseURL, "http://127.0.0.1:1/v1");
  EXPECT_EQ(transcribe(wav, "en-US"),
            error("Speech service unreachable: Couldn't connect to server"));
  preferences.setString(prefs::kSpeechServiceBaseURL, "http://127.0.0.1:8080/v 1");
  EXPECT_EQ(transcribe(wav, "en-US"), error("The speech service's address is not a valid URL"));

  std::vector<std::string> outcomes;
  for (const auto& line : logLines()) {
    const auto outcome = line.find(" -> ");
    outcomes.push_back(outcome == line.npos ? line : line.substr(outcome + 4));
  }
  EXPECT_THAT(outcomes,
              ElementsAre(MatchesRegex("HTTP 401 in [0-9]+ ms"), MatchesRegex("HTTP 500 in .*"),
                          MatchesRegex("unreadable reply in .*"),
                          MatchesRegex("unreadable reply in .*"), MatchesRegex("too large in .*"),
                          MatchesRegex("timed out in .*"), MatchesRegex("network error: .* in .*"),
                          "Transcription not sent: The speech service's address is not a "
                          "valid URL"));
}

TEST_F(TranscriptionServiceTest, SpokenEnglishComesBackAsItsWordsAndAFailedOneIsKeptForARetry) {
  const std::string sentence = "she opened the window and looked outside";
  const auto samples = speech.say(sentence);
  ASSERT_FALSE(samples.empty()) << speech.error();
  const auto recognise = [&](TranscriptionClient& via) {
    ServiceSpeechRecognizer recognizer(via, kept, queue, "en-US", false);
    auto request = std::make_shared<BufferedRecognitionRequest>();
    request->setAddsPunctuation(true);
    std::vector<std::string> reports;
    const auto task =
        recognizer.recognitionTask(request, [&](const auto& result, const auto& error) {
          if (result) reports.push_back(result->formattedString);
          if (error) reports.push_back("error " + error->localizedDescription);
        });
    std::thread([&] {
      for (const auto& buffer : SynthesizedSpeech::buffers(samples)) request->append(buffer);
    }).join();
    request->endAudio();
    EXPECT_TRUE(queue.runUntil([&] { return !reports.empty(); }, 20s));
    return reports;
  };

  const auto heard = recognise(client);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_LE(SynthesizedSpeech::wordErrorRate(sentence, heard[0]), 0.15) << heard[0];
  EXPECT_EQ(heard[0].back(), '.');
  EXPECT_EQ(kept.newest(), std::nullopt);

  service.server().holdRequests();
  EXPECT_THAT(recognise(hasty), ElementsAre(HasSubstr("error The speech service did not answer")));
  service.server().release();
  const auto recording = kept.newest();
  ASSERT_TRUE(recording);
  EXPECT_NEAR(PcmWav::seconds(kept.read(*recording).value()), SynthesizedSpeech::seconds(samples),
              0.01);

  RecordingRetry retry(kept, client, queue);
  std::optional<TranscriptionResult> retried;
  ASSERT_TRUE(retry.retryLastRecording([&](const auto& result) { retried = result; }));
  ASSERT_TRUE(queue.runUntil([&] { return retried.has_value(); }, 20s));
  EXPECT_EQ(*retried, TranscriptionResult(heard[0]));
  EXPECT_EQ(kept.newest(), std::nullopt) << "its words are back, so it is let go";
  EXPECT_FALSE(retry.retryLastRecording([](const auto&) {}));
}

}  // namespace
}  // namespace vellotype
