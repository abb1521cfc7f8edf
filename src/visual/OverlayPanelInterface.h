#pragma once
// The floating capsule with the live transcript and the level bars. Main thread only; created
// by the application on first use and kept.

#include <string>

#include "visual/WaveformViewInterface.h"

namespace vellotype {

class OverlayPanelInterface {
 public:
  virtual ~OverlayPanelInterface() = default;

  // Fades the capsule in with the text and running bars.
  virtual void show(const std::string& text) = 0;
  // Changes the text and resizes; visibility stays as it is.
  virtual void updateText(const std::string& text) = 0;
  // Ignored while the bars are not animating.
  virtual void updateAudioLevel(float level) = 0;
  // Stops the bars and fades the capsule out.
  virtual void dismiss() = 0;

  virtual WaveformViewInterface& waveformView() = 0;
};

}  // namespace vellotype
