#pragma once
// Stands in for the floating capsule until this build has one: what it would show is written
// to standard error. Main thread only; made by the application object on first use.

#include <cstdio>

#include "app/OverlayPanelInterface.h"

namespace vellotype {

class UnavailableOverlayPanel : public OverlayPanelInterface, private WaveformViewInterface {
 public:
  void show(const std::string& text) override { updateText(text); }
  void updateText(const std::string& text) override {
    std::fprintf(stderr, "Vellotype: %s\n", text.c_str());
  }
  void updateAudioLevel(float) override {}
  void dismiss() override {}
  WaveformViewInterface& waveformView() override { return *this; }

 private:
  bool isAnimating() const override { return false; }
  void setIsAnimating(bool) override {}
};

}  // namespace vellotype
