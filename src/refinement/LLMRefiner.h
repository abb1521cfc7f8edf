#pragma once
// Corrects a finished transcript through an OpenAI-compatible chat-completions service, and
// records every exchange in the diagnostic log. refine() and cancel() run on the main thread;
// replies are handled on the HTTP session's worker thread and completed on the main queue.
// The one instance is made by the composition root and reachable through shared().

#include <memory>
#include <string_view>

#include "platform/HttpSession.h"
#include "platform/MainQueue.h"
#include "platform/Preferences.h"
#include "refinement/DiagnosticLog.h"
#include "refinement/RefinerInterface.h"

namespace vellotype {

class LLMRefiner : public RefinerInterface {
 public:
  using RefinerError = vellotype::RefinerError;

  static const std::string_view kSystemPrompt;
  static constexpr std::string_view kDefaultBaseURL = "https://api.openai.com/v1";
  static constexpr std::string_view kDefaultModel = "gpt-4o-mini";
  static constexpr double kTimeoutSeconds = 10;
  // However steadily the reply comes, the words wait no longer than this for their correction.
  static constexpr double kTotalTimeoutSeconds = 30;
  // A reply larger than any chat completion is refused rather than kept in memory.
  static constexpr std::size_t kMaxReplyBytes = 8 << 20;

  LLMRefiner(Preferences& preferences, HttpSession& session, MainQueue& mainQueue,
             DiagnosticLog& log, double totalTimeoutSeconds = kTotalTimeoutSeconds);
  ~LLMRefiner() override;

  // The program's one refiner, once the composition root has made it.
  static LLMRefiner& shared();

  void refine(const std::string& text, bool force, Completion completion) override;
  void cancel() override;

  // The request sent by the latest refine() that got that far, until cancel().
  const std::shared_ptr<HttpTask>& currentTask() const { return currentTask_; }

 private:
  Preferences& preferences_;
  HttpSession& session_;
  MainQueue& mainQueue_;
  DiagnosticLog& log_;
  double totalTimeoutSeconds_;
  std::shared_ptr<HttpTask> currentTask_;
};

}  // namespace vellotype
