#pragma once
// The status item's two icons (idle and recording): three waveform strokes beside a text cursor,
// light and edged in black so that they read on any panel.
// Each image is built on first request and shared for the life of the process; thread-safe.

#include "values/VectorImage.h"

namespace vellotype {

class StatusBarIcon {
 public:
  StatusBarIcon() = delete;

  static const VectorImage& image(bool recording);

 private:
  static VectorImage makeImage(bool recording);
  static StrokedPath waveformStroke(double x, double midY, double length);
  static StrokedPath insertionPoint(double minY, double maxX, double maxY);
};

}  // namespace vellotype
