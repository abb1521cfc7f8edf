#pragma once
// Records each delivery as "inject: <text>".

#include "app/TextInjectorInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeTextInjector : public TextInjectorInterface, Recorder {
 public:
  using Recorder::Recorder;
  void inject(const std::string& text) override { log_.record("inject: " + text); }
};

}  // namespace vellotype
