#pragma once
// What the waveform's logic needs of the view that shows its bars. Main thread only; owned by
// the overlay's window.

#include <array>
#include <functional>

#include "visual/Geometry.h"

namespace vellotype {

class WaveformBars {
 public:
  virtual ~WaveformBars() = default;

  // Called whenever the view's size changes, so the bars can be placed again.
  std::function<void()> onLayout;

  virtual Rect bounds() const = 0;
  // Places the five bars, gliding there over `duration` seconds (0: at once).
  virtual void setBarFrames(const std::array<Rect, 5>& frames, double duration,
                            TimingCurve curve) = 0;
};

}  // namespace vellotype
