#include <gmock/gmock.h>

#include "fakes/FakeOverlayWindow.h"
#include "visual/WaveformView.h"

namespace vellotype {
namespace {

// Bar heights as fractions of the 32-point view once `level` has settled.
std::array<double, 5> fractions(float level, double jitter) {
  FakeOverlayWindow bars;
  WaveformView view(bars, [jitter](double low, double high) {
    EXPECT_EQ(std::pair(low, high), std::pair(-0.04, 0.04));
    return jitter;
  });
  view.setIsAnimating(true);
  view.layout();
  while (view.smoothedLevel() < level - 1e-9) view.updateLevel(level);
  std::array<double, 5> result;
  for (int i = 0; i < 5; ++i) result[i] = bars.barFrames[i].height / 32;
  return result;
}

TEST(WaveformView, BarHeightsStayWithinTheirRangesAtBothEndsOfTheJitter) {
  using ::testing::DoubleNear;
  for (const double jitter : {-0.04, 0.04}) {
    for (const double quiet : fractions(0, jitter))
      EXPECT_THAT(quiet, DoubleNear(0.17, 0.02 + 1e-9));
    const auto loud = fractions(1, jitter);
    EXPECT_THAT(loud[2], DoubleNear(0.98, 0.02 + 1e-6));  // the middle bar
    EXPECT_THAT(loud[0], DoubleNear(0.575, 0.04 + 1e-6));
  }
}

TEST(WaveformView, RisesFastFallsSlowlyIgnoresLevelsWhenStoppedAndCentresTheBars) {
  FakeOverlayWindow bars;
  WaveformView view(bars, [](double, double) { return 0.0; });
  view.updateLevel(1);
  EXPECT_EQ(view.smoothedLevel(), 0) << "not animating";
  view.setIsAnimating(true);
  for (const double expected : {0.4, 0.64, 0.784}) {
    view.updateLevel(1);
    EXPECT_NEAR(view.smoothedLevel(), expected, 1e-12);
  }
  while (view.smoothedLevel() < 1 - 1e-12) view.updateLevel(1);
  for (const double expected : {0.85, 0.7225}) {
    view.updateLevel(0);
    EXPECT_NEAR(view.smoothedLevel(), expected, 1e-9);
  }
  view.layout();
  EXPECT_EQ(bars.barFrames[0].x, 3.75);
  EXPECT_EQ(bars.barFrames[4].x + bars.barFrames[4].width, 40.25);
  EXPECT_EQ(bars.barFrames[2].y, (32 - bars.barFrames[2].height) / 2);
}

}  // namespace
}  // namespace vellotype
