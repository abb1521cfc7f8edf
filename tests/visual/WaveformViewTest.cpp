#include <gtest/gtest.h>

#include "fakes/FakeOverlayWindow.h"
#include "visual/WaveformView.h"

namespace vellotype {
namespace {

// Bar fractions of the 32-point height for a level, at the extremes of the jitter.
std::array<double, 5> fractions(double level, double jitter) {
  FakeOverlayWindow bars;
  WaveformView view(bars, [jitter](double low, double high) {
    EXPECT_EQ(low, -0.04);
    EXPECT_EQ(high, 0.04);
    return jitter;
  });
  view.setIsAnimating(true);
  for (int i = 0; i < 40 && view.smoothedLevel() < level - 1e-9; ++i)
    view.updateLevel(float(level));
  if (level == 0) view.layout();
  std::array<double, 5> result;
  for (int i = 0; i < 5; ++i) result[i] = bars.barFrames[i].height / 32;
  return result;
}

TEST(WaveformView, BarHeightsStayWithinTheirRangesAtBothEndsOfTheJitter) {
  for (const double jitter : {-0.04, 0.04}) {
    for (const double f : fractions(0, jitter)) {
      EXPECT_GE(f, 0.15 - 1e-9);
      EXPECT_LE(f, 0.19 + 1e-9);
    }
    const auto loud = fractions(1, jitter);
    EXPECT_GE(loud[2], 0.96 - 1e-6);
    EXPECT_LE(loud[2], 1.0);
    EXPECT_GE(loud[0], 0.535 - 1e-6);
    EXPECT_LE(loud[0], 0.615 + 1e-6);
  }
}

TEST(WaveformView, RisesFastFallsSlowlyAndIgnoresLevelsWhenStopped) {
  FakeOverlayWindow bars;
  WaveformView view(bars, [](double, double) { return 0.0; });
  view.updateLevel(1);
  EXPECT_EQ(view.smoothedLevel(), 0) << "not animating";
  view.setIsAnimating(true);
  for (const double expected : {0.4, 0.64, 0.784}) {
    view.updateLevel(1);
    EXPECT_NEAR(view.smoothedLevel(), expected, 1e-12);
  }
  EXPECT_EQ(bars.barDuration, 0.08);

  WaveformView loud(bars, [](double, double) { return 0.0; });
  loud.setIsAnimating(true);
  while (loud.smoothedLevel() < 1 - 1e-12) loud.updateLevel(1);
  loud.updateLevel(0);
  EXPECT_NEAR(loud.smoothedLevel(), 0.85, 1e-9);
  loud.updateLevel(0);
  EXPECT_NEAR(loud.smoothedLevel(), 0.7225, 1e-9);
}

TEST(WaveformView, FiveBarsAreCentredInTheView) {
  FakeOverlayWindow bars;
  WaveformView view(bars, [](double, double) { return 0.0; });
  view.layout();
  EXPECT_EQ(bars.barFrames[0].x, 3.75);
  EXPECT_EQ(bars.barFrames[4].x + bars.barFrames[4].width, 40.25);
  EXPECT_EQ(bars.barFrames[2].y, (32 - bars.barFrames[2].height) / 2);
  EXPECT_EQ(bars.barDuration, 0) << "layout places the bars at once";
}

}  // namespace
}  // namespace vellotype
