#pragma once
// Corrects a transcript through a chat-completions service. Main thread only; the one instance
// is created by the composition root and shared.

#include <functional>
#include <string>
#include <variant>

#include "values/RefinerError.h"

namespace vellotype {

// The corrected text, or why there is none.
using RefineResult = std::variant<std::string, RefinerError>;

class RefinerInterface {
 public:
  using Completion = std::function<void(const RefineResult&)>;

  virtual ~RefinerInterface() = default;

  // The completion runs exactly once: inside this call when the outcome is known before any
  // request is sent, otherwise later on the main queue. Unless forced, a switched-off or
  // unconfigured refiner hands the text back unchanged.
  virtual void refine(const std::string& text, bool force, Completion completion) = 0;
  // Abandons the request in flight; its completion then receives a failure.
  virtual void cancel() = 0;
};

}  // namespace vellotype
