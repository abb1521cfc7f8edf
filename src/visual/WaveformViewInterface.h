#pragma once
// The capsule's level bars, as far as the application drives them. Main thread only; owned by
// its overlay panel.

namespace vellotype {

class WaveformViewInterface {
 public:
  virtual ~WaveformViewInterface() = default;

  virtual bool isAnimating() const = 0;
  // False freezes the bars where they are while the capsule stays visible.
  virtual void setIsAnimating(bool animating) = 0;
};

}  // namespace vellotype
