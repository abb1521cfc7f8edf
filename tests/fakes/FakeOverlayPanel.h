#pragma once
// A capsule that keeps its text and visibility. Records "overlay: show <text>",
// "overlay: text <text>", "overlay: dismiss"; levels are counted, not recorded.

#include <string>

#include "app/OverlayPanelInterface.h"
#include "fakes/CallLog.h"
#include "fakes/FakeWaveformView.h"

namespace vellotype {

class FakeOverlayPanel : public OverlayPanelInterface {
 public:
  explicit FakeOverlayPanel(CallLog& log) : log_(log), waveform_(log) {}

  void show(const std::string& newText) override {
    text = newText;
    visible = true;
    log_.record("overlay: show " + newText);
  }
  void updateText(const std::string& newText) override {
    text = newText;
    log_.record("overlay: text " + newText);
  }
  void updateAudioLevel(float level) override {
    lastLevel = level;
    ++levelCount;
  }
  void dismiss() override {
    visible = false;
    log_.record("overlay: dismiss");
  }
  WaveformViewInterface& waveformView() override { return waveform_; }

  std::string text;
  bool visible = false;
  float lastLevel = 0;
  int levelCount = 0;

 private:
  CallLog& log_;
  FakeWaveformView waveform_;
};

}  // namespace vellotype
