#pragma once
// Rectangles in points, y growing upwards from the bottom of the main screen, as the overlay's
// placement rules are written.

namespace vellotype {

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double midX() const { return x + width / 2; }
  bool operator==(const Rect&) const = default;
};

// How an animation moves from start to end: a cubic Bézier from (0,0) to (1,1) with these two
// control points.
struct TimingCurve {
  double x1, y1, x2, y2;
  bool operator==(const TimingCurve&) const = default;

  static constexpr TimingCurve easeIn() { return {0.42, 0, 1, 1}; }
  static constexpr TimingCurve easeOut() { return {0, 0, 0.58, 1}; }
};

}  // namespace vellotype
