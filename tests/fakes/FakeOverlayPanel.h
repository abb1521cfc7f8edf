#pragma once
// A capsule that keeps its text, visibility, bars and levels. Records "overlay: show <text>",
// "overlay: text <text>" and "overlay: dismiss".

#include <vector>

#include "fakes/CallLog.h"
#include "visual/OverlayPanelInterface.h"

namespace vellotype {

class FakeOverlayPanel : public OverlayPanelInterface, public WaveformViewInterface, Recorder {
 public:
  using Recorder::Recorder;

  void show(const std::string& newText) override {
    text = newText;
    visible = true;
    animating = true;
    log_.record("overlay: show " + newText);
  }
  void updateText(const std::string& newText) override {
    text = newText;
    log_.record("overlay: text " + newText);
  }
  void updateAudioLevel(float level) override { levels.push_back(level); }
  void dismiss() override {
    visible = false;
    animating = false;
    log_.record("overlay: dismiss");
  }
  WaveformViewInterface& waveformView() override { return *this; }
  bool isAnimating() const override { return animating; }
  void setIsAnimating(bool value) override { animating = value; }

  std::string text;
  bool visible = false;
  bool animating = false;
  std::vector<float> levels;
};

}  // namespace vellotype
