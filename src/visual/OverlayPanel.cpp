#include "visual/OverlayPanel.h"

#include <algorithm>
#include <cmath>

#include "text/UnicodeText.h"

namespace vellotype {
namespace {

constexpr double kRestingHeightAboveBottom = 56;
constexpr double kAppearDrop = 14;
constexpr double kAppearDuration = 0.35;
constexpr TimingCurve kAppearCurve{0.175, 0.885, 0.32, 1.1};  // overshoots a little
constexpr double kResizeDuration = 0.25;
constexpr TimingCurve kResizeCurve{0.25, 0.46, 0.45, 0.94};
constexpr double kDismissDuration = 0.22;
constexpr double kDismissShrink = 0.04;
constexpr double kDismissSink = 8;

}  // namespace

OverlayPanel::OverlayPanel(std::unique_ptr<OverlayWindow> window, WaveformView::RandomSource random)
    : window_(std::move(window)), waveformView_(window_->waveformBars(), std::move(random)) {}

double OverlayPanel::idealWidth(const std::string& text) const {
  const double width = std::ceil(window_->measureTextWidth(text)) +
                       (kHorizontalPadding + kWaveSize + kGap) + kHorizontalPadding;
  return std::clamp(width, kMinWidth, kMaxWidth);
}

std::string OverlayPanel::shownPart(const std::string& text) {
  return std::string(text::leadingCodePoints(text, kMostCharactersShown));
}

void OverlayPanel::show(const std::string& fullText) {
  const auto text = shownPart(fullText);
  window_->setText(text);
  waveformView_.setIsAnimating(true);
  const double width = idealWidth(text);
  const auto screen = window_->mainScreenVisibleFrame();
  if (!screen) return;
  ++showCount_;

  const Rect resting{screen->midX() - width / 2, screen->y + kRestingHeightAboveBottom, width,
                     kCapsuleHeight};
  window_->setFrame({resting.x, resting.y - kAppearDrop, width, kCapsuleHeight});
  window_->setAlpha(0);
  window_->orderFrontRegardless();
  window_->animate({kAppearDuration, kAppearCurve, resting, 1.0}, {});
}

void OverlayPanel::updateText(const std::string& fullText) {
  const auto text = shownPart(fullText);
  window_->setText(text);
  const double width = idealWidth(text);
  const auto screen = window_->mainScreenVisibleFrame();
  if (!screen) return;
  // Only the width changes: the capsule keeps its height on screen, wherever it is.
  window_->animate({kResizeDuration,
                    kResizeCurve,
                    {screen->midX() - width / 2, window_->frame().y, width, kCapsuleHeight},
                    std::nullopt},
                   {});
}

void OverlayPanel::updateAudioLevel(float level) { waveformView_.updateLevel(level); }

void OverlayPanel::dismiss() {
  waveformView_.setIsAnimating(false);
  const auto from = window_->frame();
  const Rect to{from.x + kDismissShrink / 2 * from.width, from.y - kDismissSink,
                (1 - kDismissShrink) * from.width, kCapsuleHeight};
  // A capsule shown again before the fade ends must stay on screen.
  window_->animate({kDismissDuration, TimingCurve::easeIn(), to, 0.0}, [this, shown = showCount_] {
    if (shown == showCount_) window_->orderOut();
  });
}

}  // namespace vellotype
