#include "visual/WaveformView.h"

#include <algorithm>

namespace vellotype {
namespace {

constexpr double kRiseFactor = 0.4;
constexpr double kFallFactor = 0.15;
constexpr double kJitter = 0.04;
constexpr double kGlide = 0.08;

}  // namespace

WaveformView::WaveformView(WaveformBars& bars, RandomSource random)
    : bars_(bars), random_(std::move(random)) {
  bars_.onLayout = [this] { layout(); };
}

WaveformView::~WaveformView() { bars_.onLayout = nullptr; }

void WaveformView::layout() { applyBars(smoothedLevel_, 0); }

void WaveformView::updateLevel(float level) {
  if (!isAnimating_) return;
  const double target = level;
  // The bars jump up with the voice and sink back gently.
  const double factor = smoothedLevel_ < target ? kRiseFactor : kFallFactor;
  smoothedLevel_ += (target - smoothedLevel_) * factor;
  applyBars(smoothedLevel_, kGlide);
}

void WaveformView::applyBars(double level, double duration) {
  const auto bounds = bars_.bounds();
  const double span = kBarStep * (kBarCount - 1) + kBarWidth;
  const double x0 = (bounds.width - span) / 2;
  std::array<Rect, kBarCount> frames;
  for (int i = 0; i < kBarCount; ++i) {
    const double fraction = kMinBarFraction + (1 - kMinBarFraction) * level * kBarWeights[i] +
                            random_(-kJitter, kJitter);
    const double height = bounds.height * std::clamp(fraction, kMinBarFraction, 1.0);
    frames[i] = {x0 + kBarStep * i, (bounds.height - height) / 2, kBarWidth, height};
  }
  bars_.setBarFrames(frames, duration, TimingCurve::easeOut());
}

}  // namespace vellotype
