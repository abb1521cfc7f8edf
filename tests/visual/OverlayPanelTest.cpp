#include <gtest/gtest.h>

#include "fakes/FakeOverlayWindow.h"
#include "visual/OverlayPanel.h"

namespace vellotype {
namespace {

class OverlayPanelTest : public ::testing::Test {
 protected:
  FakeOverlayWindow* window = new FakeOverlayWindow;  // 10 points of text per character
  OverlayPanel panel{std::unique_ptr<OverlayWindow>(window), [](double, double) { return 0.0; }};
};

TEST_F(OverlayPanelTest, WidthFollowsTheTextBetween160And560) {
  window->textWidth = [](const std::string& t) { return std::stod(t.empty() ? "0" : t); };
  EXPECT_EQ(panel.idealWidth(""), 160);
  EXPECT_EQ(panel.idealWidth("54.2"), 161);
  EXPECT_EQ(panel.idealWidth("453.9"), 560);
}

TEST_F(OverlayPanelTest, ShowRisesToRestCentred56PointsAboveTheBottomAndNewTextKeepsTheHeight) {
  panel.show("Listening...");  // 226 wide
  EXPECT_EQ(window->text, "Listening...");
  EXPECT_TRUE(window->onScreen);
  EXPECT_EQ(window->setFrames, std::vector<Rect>{(Rect{527, 82, 226, 56})}) << "14 points low";
  EXPECT_EQ(window->animations.back().frame, (Rect{527, 96, 226, 56}));
  panel.updateText("hello");  // while still rising: resized around the centre where it goes
  EXPECT_EQ(window->animations.back().frame, (Rect{560, 96, 160, 56}));
  EXPECT_EQ(window->animations.back().alpha, std::nullopt) << "the fade-in goes on";

  panel.dismiss();
  EXPECT_EQ(window->animations.back().alpha, 0.0);
  panel.updateText("hello there");  // while sinking: it stays as low as it sinks
  EXPECT_EQ(window->animations.back().frame.y, 88);
}

TEST_F(OverlayPanelTest, AHugeTextReachesTheWindowAsTheStartItCanShowCutBetweenCharacters) {
  std::string huge = "\u00e9";  // two bytes: a cut at a byte count would split one
  for (int i = 0; i < 20; ++i) huge += huge;
  panel.show(huge);
  EXPECT_EQ(window->text.size(), 2 * OverlayPanel::kMostCharactersShown);
  panel.updateText("x" + huge);
  EXPECT_EQ(window->text.substr(0, 3), "x\u00e9");
  EXPECT_EQ(window->text.size(), 1 + 2 * (OverlayPanel::kMostCharactersShown - 1));
  EXPECT_EQ(window->animations.back().frame.width, OverlayPanel::kMaxWidth);
}

TEST_F(OverlayPanelTest, TheFadeTakesTheCapsuleOffScreenUnlessItIsShownAgainMeanwhile) {
  panel.show("one");
  panel.dismiss();
  const auto fadeDone = window->completions.back();
  panel.show("two");
  fadeDone();
  EXPECT_TRUE(window->onScreen);
  panel.dismiss();
  window->completions.back()();
  EXPECT_FALSE(window->onScreen);
}

TEST_F(OverlayPanelTest, LevelsMoveTheBarsOnlyBetweenShowAndDismiss) {
  panel.updateAudioLevel(1);
  EXPECT_EQ(panel.waveformView().smoothedLevel(), 0) << "before the first show";
  panel.show("Listening...");
  panel.updateAudioLevel(1);
  EXPECT_DOUBLE_EQ(panel.waveformView().smoothedLevel(), 0.4);
  panel.dismiss();
  panel.updateAudioLevel(1);
  EXPECT_DOUBLE_EQ(panel.waveformView().smoothedLevel(), 0.4);
}

}  // namespace
}  // namespace vellotype
