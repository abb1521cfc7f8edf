#pragma once
// The capsule's level meter: five bars whose heights follow the smoothed microphone level, with
// a fixed weighting and a little jitter. Main thread only; owned by the overlay panel.

#include <array>
#include <functional>

#include "visual/WaveformBars.h"
#include "visual/WaveformViewInterface.h"

namespace vellotype {

class WaveformView : public WaveformViewInterface {
 public:
  // Draws a number uniformly from the closed interval [low, high].
  using RandomSource = std::function<double(double low, double high)>;

  static constexpr int kBarCount = 5;
  static constexpr std::array<double, kBarCount> kBarWeights = {0.5, 0.8, 1.0, 0.75, 0.55};
  static constexpr double kMinBarFraction = 0.15;
  static constexpr double kBarWidth = 4.5;
  static constexpr double kBarStep = 8;
  static constexpr double kCornerRadius = 2.5;

  WaveformView(WaveformBars& bars, RandomSource random);
  ~WaveformView() override;
  WaveformView(const WaveformView&) = delete;
  WaveformView& operator=(const WaveformView&) = delete;

  bool isAnimating() const override { return isAnimating_; }
  void setIsAnimating(bool animating) override { isAnimating_ = animating; }

  // The view's size changed: the bars are placed again at the current level.
  void layout();
  void updateLevel(float level);

  double smoothedLevel() const { return smoothedLevel_; }

 private:
  void applyBars(double level, double duration);

  WaveformBars& bars_;
  RandomSource random_;
  bool isAnimating_ = false;
  // Never reset: the next recording's levels are smoothed from where the last one left off.
  double smoothedLevel_ = 0;
};

}  // namespace vellotype
