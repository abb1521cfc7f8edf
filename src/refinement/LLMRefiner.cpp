#include "refinement/LLMRefiner.h"

#include <nlohmann/json.hpp>

#include "platform/PreferenceKeys.h"
#include "refinement/JSONText.h"
#include "text/URIReference.h"
#include "text/UnicodeText.h"

namespace vellotype {
namespace {

LLMRefiner* sharedRefiner = nullptr;

// Walks choices[0].message.content; nothing unless it ends at a string.
std::optional<std::string> contentOf(std::string_view reply) {
  return readJSONString(reply, {"choices", std::size_t{0}, "message", "content"});
}

}  // namespace

const std::string_view LLMRefiner::kSystemPrompt =
    "You are a conservative speech recognition error corrector. ONLY fix clear, obvious "
    "transcription mistakes. When in doubt, leave the text unchanged.\n"
    "\n"
    "What to fix:\n"
    "- English words/acronyms wrongly rendered as Chinese characters (e.g. \"\u914d\u68ee\" "
    "\u2192 \"Python\", \"\u6770\u68ee\" \u2192 \"JSON\", \"\u963f\u76ae\u7231\" \u2192 "
    "\"API\")\n"
    "- Obvious Chinese homophone errors where context makes the correct character clear\n"
    "- Broken English words or phrases split/merged incorrectly by the recognizer\n"
    "\n"
    "What NOT to do:\n"
    "- Do NOT rephrase, rewrite, or \"improve\" any text\n"
    "- Do NOT add or remove words beyond fixing recognition errors\n"
    "- Do NOT change text that could plausibly be correct\n"
    "- Do NOT alter punctuation unless clearly wrong\n"
    "\n"
    "If the input appears correct, return it exactly as-is. Return ONLY the text, nothing else.";

LLMRefiner::LLMRefiner(Preferences& preferences, HttpSession& session, MainQueue& mainQueue,
                       DiagnosticLog& log, double totalTimeoutSeconds)
    : preferences_(preferences),
      session_(session),
      mainQueue_(mainQueue),
      log_(log),
      totalTimeoutSeconds_(totalTimeoutSeconds) {
  sharedRefiner = this;
}

LLMRefiner::~LLMRefiner() {
  if (sharedRefiner == this) sharedRefiner = nullptr;
}

LLMRefiner& LLMRefiner::shared() { return *sharedRefiner; }

void LLMRefiner::refine(const std::string& text, bool force, Completion completion) {
  auto& preferences = preferences_;
  if (!force && (!preferences.boolValue(prefs::kLLMEnabled).value_or(false) ||
                 preferences.stringValue(prefs::kLLMAPIKey).value_or("").empty())) {
    completion(text);
    return;
  }

  auto base = preferences.stringValue(prefs::kLLMAPIBaseURL).value_or(std::string(kDefaultBaseURL));
  if (!base.empty() && base.back() == '/') base.pop_back();
  const std::string endpoint = base + "/chat/completions";
  if (!text::isValidURIReference(endpoint)) {
    completion(RefinerError::invalidURL());
    return;
  }

  const auto model = preferences.stringValue(prefs::kLLMModel).value_or(std::string(kDefaultModel));
  HttpRequest request;
  request.method = "POST";
  request.url = endpoint;
  request.headers = {
      {"Content-Type", "application/json"},
      {"Authorization", "Bearer " + preferences.stringValue(prefs::kLLMAPIKey).value_or("")}};
  request.timeoutSeconds = kTimeoutSeconds;
  request.totalTimeoutSeconds = totalTimeoutSeconds_;
  request.maxBodyBytes = kMaxReplyBytes;
  const nlohmann::json body = {{"model", model},
                               {"messages",
                                {{{"role", "system"}, {"content", std::string(kSystemPrompt)}},
                                 {{"role", "user"}, {"content", text}}}},
                               {"temperature", 0.3}};
  // Text that is not UTF-8 must not make the request fail: the writer replaces what it cannot
  // encode.
  request.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);

  log_.logToFile("Request: " + endpoint + " model=" + model);

  // The handler runs on the session's thread: it holds only what it needs, never the refiner.
  currentTask_ = session_.dataTask(
      std::move(request), [&log = log_, &queue = mainQueue_, text,
                           completion = std::move(completion)](const HttpOutcome& outcome) {
        const auto finish = [&queue, &completion](RefineResult result) {
          queue.post([completion, result = std::move(result)] { completion(result); });
        };
        if (outcome.error) {
          log.logToFile("Network error: " + *outcome.error);
          finish(RefinerError::transport(*outcome.error));
          return;
        }
        if (!outcome.body && !outcome.bodyTooLarge) {
          log.logToFile("No data in response");
          finish(RefinerError::invalidResponse());
          return;
        }
        std::optional<std::string> content;
        if (outcome.body) {
          if (text::isValidUTF8(*outcome.body)) log.logToFile("Response: " + *outcome.body);
          content = contentOf(*outcome.body);
        }
        if (!content) {
          log.logToFile("Failed to parse response");
          finish(RefinerError::invalidResponse());
          return;
        }
        const auto refined = text::trimmingWhitespaceAndNewlines(*content);
        log.logToFile("Refined: '" + text + "' -> '" + refined + "'");
        finish(refined);
      });
}

void LLMRefiner::cancel() {
  if (currentTask_) currentTask_->cancel();
  currentTask_.reset();
}

}  // namespace vellotype
