#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "visual/StatusBarIcon.h"

namespace vellotype {
namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::FieldsAre;

// Where each path starts and ends, as (x0, y0, x1, y1) of its first segment.
auto segmentAt(double x0, double y0, double x1, double y1) {
  const auto near = [](double v) { return DoubleNear(v, 1e-9); };
  return FieldsAre(FieldsAre(near(x0), near(y0)), FieldsAre(near(x1), near(y1)));
}

TEST(StatusBarIcon, WaveformStrokesAreTallerWhileRecording) {
  const auto firstSegments = [](const VectorImage& image) {
    std::vector<LineSegment> segments;
    for (std::size_t i = 0; i < 3; ++i) segments.push_back(image.paths.at(i).segments.at(0));
    return segments;
  };
  EXPECT_THAT(firstSegments(StatusBarIcon::image(false)),
              ElementsAre(segmentAt(4.2, 6.4, 4.2, 11.6), segmentAt(6.9, 4.3, 6.9, 13.7),
                          segmentAt(9.6, 5.7, 9.6, 12.3)));
  EXPECT_THAT(firstSegments(StatusBarIcon::image(true)),
              ElementsAre(segmentAt(4.2, 4.9, 4.2, 13.1), segmentAt(6.9, 2.9, 6.9, 15.1),
                          segmentAt(9.6, 4.1, 9.6, 13.9)));
  const auto& cursor = StatusBarIcon::image(false).paths.at(3);
  EXPECT_THAT(cursor.segments, ElementsAre(segmentAt(14, 4, 14, 14), segmentAt(12.6, 4, 15.4, 4),
                                           segmentAt(12.6, 14, 15.4, 14)));
  EXPECT_EQ(cursor.join, StrokedPath::Join::round);
}

TEST(StatusBarIcon, EachLookIsOneSharedTemplateImage) {
  const auto& normal = StatusBarIcon::image(false);
  const auto& recording = StatusBarIcon::image(true);
  EXPECT_EQ(&normal, &StatusBarIcon::image(false));
  EXPECT_EQ(&recording, &StatusBarIcon::image(true));
  EXPECT_TRUE(normal.isTemplate && recording.isTemplate);
  EXPECT_EQ(normal.accessibilityDescription, "Voice Input");
  EXPECT_EQ(recording.accessibilityDescription, "Voice Input Recording");
}

}  // namespace
}  // namespace vellotype
