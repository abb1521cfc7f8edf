#pragma once
// A capsule window that keeps what it was told, where text is 10 points per character, and
// whose animations end when the test says so. Its bars keep their frames.

#include <deque>
#include <vector>

#include "visual/OverlayWindow.h"

namespace vellotype {

class FakeOverlayWindow : public OverlayWindow, public WaveformBars {
 public:
  std::optional<Rect> mainScreenVisibleFrame() const override { return screen; }
  double measureTextWidth(const std::string& t) const override { return textWidth(t); }
  void setText(const std::string& newText) override { text = newText; }
  Rect frame() const override { return currentFrame; }
  void setFrame(const Rect& frame) override { currentFrame = frame; }
  void setAlpha(double value) override { alpha = value; }
  void orderFrontRegardless() override { onScreen = true; }
  void orderOut() override { onScreen = false; }
  void animate(const Animation& animation, std::function<void()> completion) override {
    animations.push_back(animation);
    completions.push_back(std::move(completion));
  }
  WaveformBars& waveformBars() override { return *this; }

  Rect bounds() const override { return barBounds; }
  void setBarFrames(const std::array<Rect, 5>& frames, double duration, TimingCurve) override {
    barFrames = frames;
    barDuration = duration;
  }

  // Runs the latest animation to its end.
  void finishAnimation() {
    const auto& last = animations.back();
    currentFrame = last.frame;
    if (last.alpha) alpha = *last.alpha;
    if (completions.back()) completions.back()();
  }

  std::function<double(const std::string&)> textWidth = [](const std::string& t) {
    return 10.0 * double(t.size());
  };
  std::optional<Rect> screen = Rect{0, 40, 1280, 760};
  std::string text;
  Rect currentFrame;
  double alpha = 1;
  bool onScreen = false;
  std::vector<Animation> animations;
  std::vector<std::function<void()>> completions;
  Rect barBounds{0, 0, 44, 32};
  std::array<Rect, 5> barFrames{};
  double barDuration = -1;
};

}  // namespace vellotype
