#pragma once
// A capsule window that keeps what it was told, where text is 10 points per character. Like a
// real one, it reports an animation's target frame at once; completions run when the test says.
// Its bars keep their frames.

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
  void setFrame(const Rect& frame) override { currentFrame = setFrames.emplace_back(frame); }
  void setAlpha(double value) override { alpha = setAlphas.emplace_back(value); }
  void orderFrontRegardless() override { onScreen = true; }
  void orderOut() override { onScreen = false; }
  void animate(const Animation& animation, std::function<void()> completion) override {
    animations.push_back(animation);
    completions.push_back(std::move(completion));
    currentFrame = animation.frame;
    if (animation.alpha) alpha = *animation.alpha;
  }
  WaveformBars& waveformBars() override { return *this; }

  Rect bounds() const override { return barBounds; }
  void setBarFrames(const std::array<Rect, 5>& frames, double duration, TimingCurve) override {
    barFrames = frames;
    barDuration = duration;
  }

  // The latest animation arrives.
  void finishAnimation() {
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
  std::vector<Rect> setFrames;  // placed at once, without animation
  std::vector<double> setAlphas;
  std::vector<Animation> animations;
  std::vector<std::function<void()>> completions;
  Rect barBounds{0, 0, 44, 32};
  std::array<Rect, 5> barFrames{};
  double barDuration = -1;
};

}  // namespace vellotype
