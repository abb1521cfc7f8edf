#pragma once
// Stands in for the correction service until this build has one: every request fails at once
// with a reason, so the raw text is delivered. Main thread only; owned by the composition root.

#include "app/RefinerInterface.h"

namespace vellotype {

class UnavailableRefiner : public RefinerInterface {
 public:
  void refine(const std::string&, bool, Completion completion) override {
    completion(RefinerError::transport("Refinement is not available in this build"));
  }
  void cancel() override {}
};

}  // namespace vellotype
