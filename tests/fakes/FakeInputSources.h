#pragma once
// Input sources the test lists. Records "inputSource: select <identifier>".

#include "fakes/CallLog.h"
#include "platform/InputSources.h"

namespace vellotype {

class FakeInputSources : public InputSources, Recorder {
 public:
  using Recorder::Recorder;

  std::optional<InputSource> current() override { return currentSource; }
  std::optional<std::vector<InputSource>> enabledASCIICapableSources() override { return latin; }
  void select(const InputSource& source) override {
    log_.record("inputSource: select " + source.identifier);
    currentSource = source;
  }

  std::optional<InputSource> currentSource;
  std::optional<std::vector<InputSource>> latin;
};

}  // namespace vellotype
