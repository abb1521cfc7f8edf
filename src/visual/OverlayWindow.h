#pragma once
// What the overlay's logic needs of the window that shows the capsule: a borderless,
// always-on-top window that never takes the focus. Main thread only; owned by the overlay panel.

#include <functional>
#include <optional>
#include <string>

#include "visual/Geometry.h"
#include "visual/WaveformBars.h"

namespace vellotype {

class OverlayWindow {
 public:
  struct Animation {
    double duration = 0;
    TimingCurve curve{0, 0, 1, 1};
    Rect frame;
    std::optional<double> alpha;  // nothing: the alpha is left as it is
  };

  virtual ~OverlayWindow() = default;

  // The main screen's area without panels and docks; nothing when there is no screen.
  virtual std::optional<Rect> mainScreenVisibleFrame() const = 0;
  // The width of the text on one line in the label's font.
  virtual double measureTextWidth(const std::string& text) const = 0;

  virtual void setText(const std::string& text) = 0;
  // Where the window is, or is going to when an animation moves it.
  virtual Rect frame() const = 0;
  virtual void setFrame(const Rect& frame) = 0;
  virtual void setAlpha(double alpha) = 0;
  // Shows the window in front of all others without activating the program.
  virtual void orderFrontRegardless() = 0;
  virtual void orderOut() = 0;
  // Moves the frame, and the alpha when given, from where they are shown now. A running
  // animation of the same property is taken over; the completion runs once every property of
  // this animation has arrived.
  virtual void animate(const Animation& animation, std::function<void()> completion) = 0;

  virtual WaveformBars& waveformBars() = 0;
};

}  // namespace vellotype
