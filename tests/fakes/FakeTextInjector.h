#pragma once
// Records each delivery as "inject: <text>".

#include "app/TextInjectorInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeTextInjector : public TextInjectorInterface {
 public:
  explicit FakeTextInjector(CallLog& log) : log_(log) {}
  void inject(const std::string& text) override { log_.record("inject: " + text); }

 private:
  CallLog& log_;
};

}  // namespace vellotype
