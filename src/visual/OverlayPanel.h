#pragma once
// The floating capsule near the bottom of the main screen with the live text and the level
// bars: it grows and shrinks with its text, fades in with a slight overshoot and sinks away.
// Main thread only; made by the application object on first use and kept.

#include <cstdint>
#include <memory>

#include "visual/OverlayPanelInterface.h"
#include "visual/OverlayWindow.h"
#include "visual/WaveformView.h"

namespace vellotype {

class OverlayPanel : public OverlayPanelInterface {
 public:
  static constexpr double kCapsuleHeight = 56;
  static constexpr double kHorizontalPadding = 24;
  static constexpr double kWaveSize = 44;
  static constexpr double kGap = 14;
  static constexpr double kMinWidth = 160;
  static constexpr double kMaxWidth = 560;
  // Far more than the widest capsule holds: measuring and eliding a whole megabyte of corrected
  // text on every step of an animation would hold up the main thread for seconds.
  static constexpr std::size_t kMostCharactersShown = 256;

  OverlayPanel(std::unique_ptr<OverlayWindow> window, WaveformView::RandomSource random);

  void show(const std::string& text) override;
  void updateText(const std::string& text) override;
  void updateAudioLevel(float level) override;
  void dismiss() override;
  WaveformView& waveformView() override { return waveformView_; }

  double idealWidth(const std::string& text) const;

 private:
  static std::string shownPart(const std::string& text);

  std::unique_ptr<OverlayWindow> window_;
  WaveformView waveformView_;
  // Tells a dismissal's order-out whether the capsule has been shown again since.
  std::uint64_t showCount_ = 0;
};

}  // namespace vellotype
