#pragma once
// A capsule window that keeps what it was told, where text is 10 points per character. Like a
// real one, it reports an animation's target frame at once; completions run when the test says.
// Its bars keep their frames.

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
  void setAlpha(double) override {}
  void orderFrontRegardless() override { onScreen = true; }
  void orderOut() override { onScreen = false; }
  void animate(const Animation& animation, std::function<void()> completion) override {
    animations.push_back(animation);
    completions.push_back(std::move(completion));
    currentFrame = animation.frame;
  }
  WaveformBars& waveformBars() override { return *this; }

  Rect bounds() const override { return {0, 0, 44, 32}; }
  void setBarFrames(const std::array<Rect, 5>& frames, double, TimingCurve) override {
    barFrames = frames;
  }

  std::function<double(const std::string&)> textWidth = [](const std::string& t) {
    return 10.0 * double(t.size());
  };
  std::optional<Rect> screen = Rect{0, 40, 1280, 760};
  std::string text;
  Rect currentFrame;
  bool onScreen = false;
  std::vector<Rect> setFrames;  // placed at once, without animation
  std::vector<Animation> animations;
  std::vector<std::function<void()>> completions;
  std::array<Rect, 5> barFrames{};
};

}  // namespace vellotype
