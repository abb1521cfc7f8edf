#include <gtest/gtest.h>

#include "fakes/FakeOverlayWindow.h"
#include "visual/OverlayPanel.h"

namespace vellotype {
namespace {

double noJitter(double, double) { return 0; }

class OverlayPanelTest : public ::testing::Test {
 protected:
  OverlayPanelTest() {
    auto owned = std::make_unique<FakeOverlayWindow>();
    window = owned.get();
    panel = std::make_unique<OverlayPanel>(std::move(owned), noJitter);
  }

  FakeOverlayWindow* window;
  std::unique_ptr<OverlayPanel> panel;
};

TEST_F(OverlayPanelTest, WidthFollowsTheTextBetween160And560) {
  window->textWidth = [](const std::string& t) { return std::stod(t.empty() ? "0" : t); };
  EXPECT_EQ(panel->idealWidth(""), 160);
  EXPECT_EQ(panel->idealWidth("54.2"), 161);
  EXPECT_EQ(panel->idealWidth("453.9"), 560);
  EXPECT_EQ(panel->idealWidth("1000"), 560);
}

TEST_F(OverlayPanelTest, ShowRisesFromBelowAndRestsCentred56PointsAboveTheBottom) {
  panel->show("Listening...");  // 120 points of text: 226 wide
  EXPECT_EQ(window->text, "Listening...");
  EXPECT_TRUE(panel->waveformView().isAnimating());
  EXPECT_EQ(window->setFrames, std::vector<Rect>{(Rect{527, 82, 226, 56})}) << "14 points low";
  EXPECT_EQ(window->setAlphas, std::vector<double>{0});
  EXPECT_TRUE(window->onScreen);
  const auto& appear = window->animations.back();
  EXPECT_EQ(appear.duration, 0.35);
  EXPECT_EQ(appear.curve, (TimingCurve{0.175, 0.885, 0.32, 1.1}));
  EXPECT_EQ(appear.frame, (Rect{527, 96, 226, 56}));
  EXPECT_EQ(appear.alpha, 1.0);
}

TEST_F(OverlayPanelTest, NewTextResizesAroundTheCentreAtTheHeightTheCapsuleHasOrIsGoingTo) {
  panel->show("Listening...");
  panel->updateText("hello");  // while still rising: it rises to the resting height
  auto resize = window->animations.back();
  EXPECT_EQ(resize.duration, 0.25);
  EXPECT_EQ(resize.curve, (TimingCurve{0.25, 0.46, 0.45, 0.94}));
  EXPECT_EQ(resize.frame, (Rect{560, 96, 160, 56}));
  EXPECT_EQ(resize.alpha, std::nullopt) << "the fade-in goes on";

  panel->dismiss();
  panel->updateText("hello there");  // while sinking: it stays as low as it sinks
  EXPECT_EQ(window->animations.back().frame.y, 88);
}

TEST_F(OverlayPanelTest, DismissShrinksSinksFadesAndThenLeavesTheScreen) {
  panel->show("Listening...");
  window->finishAnimation();
  panel->dismiss();
  EXPECT_FALSE(panel->waveformView().isAnimating());
  const auto& fade = window->animations.back();
  EXPECT_EQ(fade.duration, 0.22);
  EXPECT_EQ(fade.curve, TimingCurve::easeIn());
  EXPECT_DOUBLE_EQ(fade.frame.x, 527 + 0.02 * 226);
  EXPECT_DOUBLE_EQ(fade.frame.width, 0.96 * 226);
  EXPECT_EQ(fade.frame.y, 88);
  EXPECT_EQ(fade.alpha, 0.0);
  EXPECT_TRUE(window->onScreen);
  window->finishAnimation();
  EXPECT_FALSE(window->onScreen);
}

TEST_F(OverlayPanelTest, ShowingAgainDuringTheFadeKeepsTheCapsuleOnScreen) {
  panel->show("one");
  panel->dismiss();
  const auto fadeDone = window->completions.back();
  panel->show("two");
  fadeDone();
  EXPECT_TRUE(window->onScreen);
}

TEST_F(OverlayPanelTest, WithoutAScreenOnlyTheTextAndBarsChange) {
  window->screen.reset();
  panel->show("hello");
  panel->updateText("hello there");
  EXPECT_EQ(window->text, "hello there");
  EXPECT_TRUE(panel->waveformView().isAnimating());
  EXPECT_FALSE(window->onScreen);
  EXPECT_TRUE(window->animations.empty());
}

TEST_F(OverlayPanelTest, LevelsMoveTheBarsOnlyBetweenShowAndDismiss) {
  panel->updateAudioLevel(1);
  EXPECT_EQ(panel->waveformView().smoothedLevel(), 0) << "before the first show";
  panel->show("Listening...");
  panel->updateAudioLevel(1);
  EXPECT_DOUBLE_EQ(panel->waveformView().smoothedLevel(), 0.4);
  panel->dismiss();
  panel->updateAudioLevel(1);
  EXPECT_DOUBLE_EQ(panel->waveformView().smoothedLevel(), 0.4);
}

}  // namespace
}  // namespace vellotype
