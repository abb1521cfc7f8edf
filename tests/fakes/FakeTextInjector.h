#pragma once
// Records each delivery as "inject: <text>".

#include "fakes/CallLog.h"
#include "insertion/TextInjectorInterface.h"

namespace vellotype {

class FakeTextInjector : public TextInjectorInterface, Recorder {
 public:
  using Recorder::Recorder;
  void inject(const std::string& text) override { log_.record("inject: " + text); }
};

}  // namespace vellotype
