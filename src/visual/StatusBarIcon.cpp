#include "visual/StatusBarIcon.h"

#include <array>

namespace vellotype {
namespace {

constexpr double kSize = 18;
constexpr std::array<double, 3> kStrokeX = {4.2, 6.9, 9.6};
constexpr std::array<double, 3> kNormalLengths = {5.2, 9.4, 6.6};
constexpr std::array<double, 3> kRecordingLengths = {8.2, 12.2, 9.8};
constexpr double kStrokeWidth = 1.7;
constexpr double kCursorInset = 4;
constexpr double kSerifHalfWidth = 1.4;
constexpr double kCursorLineWidth = 1.6;
constexpr double kOutlineWidth = 0.9;

}  // namespace

const VectorImage& StatusBarIcon::image(bool recording) {
  // Function-local statics: built once, on first use, safely against concurrent first calls,
  // and a request for one look never builds the other.
  if (recording) {
    static const VectorImage recordingImage = makeImage(true);
    return recordingImage;
  }
  static const VectorImage normalImage = makeImage(false);
  return normalImage;
}

VectorImage StatusBarIcon::makeImage(bool recording) {
  VectorImage image;
  image.width = kSize;
  image.height = kSize;
  // Trays show an icon as it is drawn, on panels light or dark.
  image.color = Color::white();
  image.outlineWidth = kOutlineWidth;
  image.outlineColor = Color::black(0.9);
  image.accessibilityDescription = recording ? "Voice Input Recording" : "Voice Input";

  const auto& lengths = recording ? kRecordingLengths : kNormalLengths;
  for (std::size_t i = 0; i < kStrokeX.size(); ++i) {
    image.paths.push_back(waveformStroke(kStrokeX[i], kSize / 2, lengths[i]));
  }
  image.paths.push_back(insertionPoint(0, kSize, kSize));
  return image;
}

StrokedPath StatusBarIcon::waveformStroke(double x, double midY, double length) {
  return {.segments = {{{x, midY - length / 2}, {x, midY + length / 2}}},
          .lineWidth = kStrokeWidth,
          .cap = StrokedPath::Cap::round};
}

StrokedPath StatusBarIcon::insertionPoint(double minY, double maxX, double maxY) {
  const double stemX = maxX - kCursorInset;
  const double bottom = minY + kCursorInset;
  const double top = maxY - kCursorInset;
  return {.segments = {{{stemX, bottom}, {stemX, top}},
                       {{stemX - kSerifHalfWidth, bottom}, {stemX + kSerifHalfWidth, bottom}},
                       {{stemX - kSerifHalfWidth, top}, {stemX + kSerifHalfWidth, top}}},
          .lineWidth = kCursorLineWidth,
          .cap = StrokedPath::Cap::round,
          .join = StrokedPath::Join::round};
}

}  // namespace vellotype
