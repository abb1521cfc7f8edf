#pragma once
// Records changes of the animating flag as "waveform: animating <0|1>".

#include "app/WaveformViewInterface.h"
#include "fakes/CallLog.h"

namespace vellotype {

class FakeWaveformView : public WaveformViewInterface {
 public:
  explicit FakeWaveformView(CallLog& log) : log_(log) {}

  bool isAnimating() const override { return animating_; }
  void setIsAnimating(bool animating) override {
    animating_ = animating;
    log_.record(std::string("waveform: animating ") + (animating ? "1" : "0"));
  }

 private:
  CallLog& log_;
  bool animating_ = false;
};

}  // namespace vellotype
