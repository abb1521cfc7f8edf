#pragma once
// Stands in for text delivery until this build can paste: the text goes to the system log, so
// nothing handed to it is lost. Main thread only; owned by the composition root.

#include "app/TextInjectorInterface.h"
#include "platform/SystemLog.h"

namespace vellotype {

class UnavailableTextInjector : public TextInjectorInterface {
 public:
  explicit UnavailableTextInjector(SystemLog& log) : log_(log) {}
  void inject(const std::string& text) override {
    log_.log("Pasting is not available in this build; the text was: " + text);
  }

 private:
  SystemLog& log_;
};

}  // namespace vellotype
