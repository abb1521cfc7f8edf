#include "transcription/TranscriptionClient.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#include "refinement/JSONText.h"
#include "text/URIReference.h"
#include "text/UnicodeText.h"
#include "transcription/ChineseScript.h"
#include "transcription/PcmWav.h"
#include "transcription/SpeechServiceSettings.h"

namespace vellotype {
namespace {

std::string randomBoundary() {
  std::random_device device;
  std::mt19937_64 random(std::uint64_t(device()) << 32 | device());
  char text[40];
  std::snprintf(text, sizeof text, "vellotype-%016llx%08llx", (unsigned long long)random(),
                (unsigned long long)(random() & 0xffffffffu));
  return text;
}

// Fields after the file; the file's bytes are binary, so the boundary is checked against them.
struct Multipart {
  std::string boundary;
  std::string body;
};

Multipart multipart(const std::string& wav, const std::string& model, const std::string& language) {
  std::vector<std::pair<std::string, std::string>> fields = {{"model", model}};
  if (!language.empty()) fields.emplace_back("language", language);
  fields.emplace_back("response_format", "json");
  fields.emplace_back("temperature", "0");

  std::string boundary;
  do {
    boundary = randomBoundary();
  } while (wav.find(boundary) != std::string::npos || model.find(boundary) != std::string::npos);

  std::string body = "--" + boundary +
                     "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"audio.wav\""
                     "\r\nContent-Type: audio/wav\r\n\r\n";
  body += wav;
  for (const auto& [name, value] : fields) {
    body += "\r\n--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
            "\"\r\n\r\n" + value;
  }
  body += "\r\n--" + boundary + "--\r\n";
  return {std::move(boundary), std::move(body)};
}

bool hasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return std::uint8_t(c) < 0x20 || c == 0x7f; });
}

std::string describeStatus(long status) {
  const auto code = " (HTTP " + std::to_string(status) + ")";
  switch (status) {
    case 401:
    case 403:
      return "The speech service refused the API key" + code;
    case 404:
      return "No speech service at this address" + code;
    case 413:
      return "The recording is too long for the speech service" + code;
    case 429:
      return "The speech service is busy or over its quota" + code;
    default:
      return "The speech service failed" + code;
  }
}

struct Reading {
  TranscriptionResult result;
  std::string outcome;  // for the log: never the key, never the text
};

Reading read(const HttpOutcome& outcome, double timeout, const std::string& locale) {
  const auto failed = [](std::string description, std::string outcome) {
    return Reading{TranscriptionError{std::move(description)}, std::move(outcome)};
  };
  if (outcome.error) {
    if (outcome.timedOut) {
      char seconds[16];
      std::snprintf(seconds, sizeof seconds, "%.0f", std::ceil(timeout));
      return failed("The speech service did not answer within " + std::string(seconds) + " s",
                    "timed out");
    }
    if (*outcome.error == "cancelled") return failed("Cancelled", "cancelled");
    // The capsule has room for a few words; the log keeps curl's whole account.
    return failed("Speech service unreachable: " + outcome.briefError,
                  "network error: " + *outcome.error);
  }
  if (outcome.bodyTooLarge) return failed("The speech service's reply was too large", "too large");
  if (outcome.statusCode != 0 && (outcome.statusCode < 200 || outcome.statusCode > 299)) {
    return failed(describeStatus(outcome.statusCode), "HTTP " + std::to_string(outcome.statusCode));
  }
  const auto text = outcome.body ? readJSONString(*outcome.body, {"text"}) : std::nullopt;
  if (!text) return failed("The speech service's reply could not be read", "unreadable reply");
  auto words = text::trimmingWhitespaceAndNewlines(ChineseScript::convert(*text, locale));
  return {std::move(words), "ok"};
}

}  // namespace

TranscriptionClient::TranscriptionClient(Preferences& preferences, HttpSession& session,
                                         MainQueue& mainQueue, DiagnosticLog& log, Timing timing)
    : preferences_(preferences),
      session_(session),
      mainQueue_(mainQueue),
      log_(log),
      timing_(timing) {}

double TranscriptionClient::timeoutFor(double audioSeconds) const {
  return timing_.baseSeconds + timing_.perAudioSecond * std::max(audioSeconds, 0.0);
}

std::string TranscriptionClient::languageCode(std::string_view locale) {
  const auto language = locale.substr(0, locale.find_first_of("-_.@"));
  const bool letters = std::all_of(language.begin(), language.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
  if (language.size() < 2 || language.size() > 3 || !letters) return {};
  std::string code(language);
  for (char& c : code) c = char(c | 0x20);
  return code;
}

std::shared_ptr<HttpTask> TranscriptionClient::transcribe(std::string wav,
                                                          const std::string& locale,
                                                          std::string_view purpose,
                                                          Completion completion) {
  const auto settings = SpeechServiceSettings::load(preferences_);
  auto base = settings.baseURL;
  if (!base.empty() && base.back() == '/') base.pop_back();
  const std::string endpoint = base + "/audio/transcriptions";
  // A key pasted with its line break would otherwise end the header early and start another.
  const auto key = text::trimmingWhitespaceAndNewlines(settings.apiKey);
  std::optional<std::string> refusal;
  if (!text::isValidURIReference(endpoint)) {
    refusal = "The speech service's address is not a valid URL";
  } else if (hasControlCharacter(key)) {
    refusal = "The speech service's API key contains a control character";
  }
  if (refusal) {
    log_.logToFile("Transcription not sent: " + *refusal);
    mainQueue_.post([completion = std::move(completion), error = TranscriptionError{*refusal}] {
      completion(error);
    });
    return nullptr;
  }

  const auto seconds = PcmWav::seconds(wav);
  const auto language = languageCode(locale);
  auto [boundary, body] = multipart(wav, settings.model, language);
  HttpRequest request;
  request.method = "POST";
  request.url = endpoint;
  request.headers = {{"Content-Type", "multipart/form-data; boundary=" + boundary}};
  if (!key.empty()) request.headers.emplace_back("Authorization", "Bearer " + key);
  request.body = std::move(body);
  request.timeoutSeconds = timeoutFor(seconds);
  request.totalTimeoutSeconds = timeoutFor(seconds);

  char audio[32];
  std::snprintf(audio, sizeof audio, "%.2f", seconds);
  const auto logLine = "Transcription: " + endpoint + " model=" + settings.model +
                       " language=" + (language.empty() ? "auto" : language) + " audio=" + audio +
                       "s purpose=" + std::string(purpose) + " -> ";
  const auto started = std::chrono::steady_clock::now();
  // The handler runs on the session's thread: it holds only what it needs, never the client.
  return session_.dataTask(
      std::move(request),
      [&log = log_, &queue = mainQueue_, logLine, started, locale, timeout = timeoutFor(seconds),
       completion = std::move(completion)](const HttpOutcome& outcome) {
        auto reading = read(outcome, timeout, locale);
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started);
        log.logToFile(logLine + reading.outcome + " in " + std::to_string(elapsed.count()) + " ms");
        queue.post([completion, result = std::move(reading.result)] { completion(result); });
      });
}

}  // namespace vellotype
