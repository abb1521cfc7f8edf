#pragma once
// A small vector drawing kept as data (stroked line paths), painted by the view layer at any
// pixel density. Immutable once built; safe to share between threads.

#include <string>
#include <vector>

#include "values/Color.h"

namespace vellotype {

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct LineSegment {
  Point from;
  Point to;
  bool operator==(const LineSegment&) const = default;
};

// One stroked path: its segments are stroked together, once, with one pen.
struct StrokedPath {
  enum class Cap { butt, round, square };
  enum class Join { miter, round, bevel };

  std::vector<LineSegment> segments;
  double lineWidth = 1;
  Cap cap = Cap::butt;
  Join join = Join::miter;
};

struct VectorImage {
  double width = 0;
  double height = 0;
  bool flipped = false;  // false: y grows upwards from the bottom-left corner
  Color color;
  // Beneath the paths, each path again this much wider on either side. A light drawing with a
  // dark edge reads on light and dark backgrounds alike, where no one colour would.
  double outlineWidth = 0;
  Color outlineColor;
  std::vector<StrokedPath> paths;
  std::string accessibilityDescription;
};

}  // namespace vellotype
