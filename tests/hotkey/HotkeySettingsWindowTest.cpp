#include <gmock/gmock.h>

#include "fakes/FakeHotkeySettingsView.h"
#include "fakes/FakePreferences.h"
#include "hotkey/HotkeySettingsWindow.h"
#include "hotkey/TriggerKeyPreferences.h"
#include "platform/PreferenceKeys.h"
#include "values/ModifierFlags.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using TextColor = HotkeySettingsView::TextColor;

KeyEvent keyDown(std::uint16_t code) { return {KeyEvent::Type::keyDown, code, 0, std::nullopt}; }
KeyEvent flagsChanged(std::uint16_t code, std::uint64_t flags) {
  return {KeyEvent::Type::flagsChanged, code, flags, std::nullopt};
}

// Logs each stored text among the view's calls.
struct LoggedPreferences : FakePreferences {
  explicit LoggedPreferences(std::vector<std::string>& calls) : calls(calls) {}
  void setString(std::string_view key, std::string_view value) override {
    calls.push_back("save " + std::string(key));
    FakePreferences::setString(key, value);
  }
  std::vector<std::string>& calls;
};

class HotkeySettingsWindowTest : public ::testing::Test {
 protected:
  HotkeySettingsWindowTest() {
    window->onHotkeyChanged = [this](const TriggerKey& key) {
      calls.push_back("changed to " + key.displayName);
    };
    window->onClosed = [this] { calls.push_back("closed"); };
    calls.clear();
  }

  std::vector<std::string> calls;
  LoggedPreferences preferences{calls};
  FakeHotkeySettingsView* view = new FakeHotkeySettingsView(calls);
  std::shared_ptr<HotkeySettingsWindow> window = std::make_shared<HotkeySettingsWindow>(
      preferences, std::unique_ptr<HotkeySettingsView>(view));
};

TEST_F(HotkeySettingsWindowTest, RecordingTwiceInstallsOneCaptureAndEscapeCancelsWithoutSaving) {
  view->onRecord();
  view->onRecord();
  EXPECT_EQ(view->statusColor, TextColor::systemBlue);
  EXPECT_TRUE(view->send(keyDown(53)));
  EXPECT_THAT(calls,
              ElementsAre("status: Press a modifier or key now. Escape cancels.", "install capture",
                          "remove capture", "status: Capture cancelled."));
  EXPECT_EQ(view->statusColor, TextColor::secondaryLabel);
  EXPECT_TRUE(preferences.values.empty());
}

TEST_F(HotkeySettingsWindowTest, RightCommandIsSavedAnnouncedThenHandedOnAndItsReleasePasses) {
  view->onRecord();
  const auto capture = view->capture;
  calls.clear();
  EXPECT_TRUE(capture(flagsChanged(54, modifiers::kCommand)));
  EXPECT_THAT(calls, ElementsAre("save triggerKeyKind", "save triggerKeyDisplayName",
                                 "save triggerKeyModifier", "key: Right Command",
                                 "status: Saved. Hold Right Command to start voice input, release "
                                 "it to finish.",
                                 "remove capture", "changed to Right Command"));
  EXPECT_EQ(
      TriggerKeyPreferences::load(preferences),
      (TriggerKey{TriggerKey::Kind::modifier, TriggerKey::Modifier::command, 54, "Right Command"}));
  EXPECT_EQ(view->statusColor, TextColor::systemGreen);
  EXPECT_FALSE(capture(flagsChanged(54, 0))) << "an ended capture hands the release on";
}

TEST_F(HotkeySettingsWindowTest, KeysThatNameNoTriggerAreTakenAndTheCaptureGoesOnToReturn) {
  view->onRecord();
  EXPECT_TRUE(view->send(flagsChanged(57, 0))) << "Caps Lock";
  EXPECT_TRUE(view->send(flagsChanged(59, 0))) << "Left Control going up";
  EXPECT_FALSE(view->send({KeyEvent::Type::keyUp, 0, 0, std::nullopt})) << "a key going up";
  EXPECT_TRUE(window->isCapturing());
  EXPECT_TRUE(preferences.values.empty());
  view->send(keyDown(36));
  EXPECT_EQ(TriggerKeyPreferences::load(preferences),
            (TriggerKey{TriggerKey::Kind::keyCode, std::nullopt, 36, "Return"}));
}

TEST_F(HotkeySettingsWindowTest,
       ResetSavesControlOnEitherSideAndClosingTellsTheOwnerBothEndACapture) {
  preferences.setString(prefs::kTriggerKeyKind, "keyCode");
  view->onRecord();
  view->onReset();
  EXPECT_FALSE(view->capture);
  EXPECT_EQ(TriggerKeyPreferences::load(preferences), TriggerKey::defaultKey());
  EXPECT_EQ(calls.back(), "changed to Control");
  view->onRecord();
  calls.clear();
  view->onCloseButton();
  view->onDone();
  EXPECT_THAT(calls, ElementsAre("remove capture", "order out", "closed", "order out", "closed"));
}

TEST_F(HotkeySettingsWindowTest, ReopeningShowsTheSavedKeyAndTheInstructionAgain) {
  view->onRecord();
  view->send(flagsChanged(61, modifiers::kOption));
  view->onDone();
  window->reload();
  EXPECT_EQ(view->currentKey, "Right Option");
  EXPECT_EQ(view->status, "Click Record, then press the key you want to hold for voice input.");
  EXPECT_EQ(view->statusColor, TextColor::secondaryLabel);
}

TEST_F(HotkeySettingsWindowTest, ACaptureOutlivingTheWindowTakesNothing) {
  view->onRecord();
  const auto capture = view->capture;
  window.reset();
  EXPECT_FALSE(capture(keyDown(96)));
}

}  // namespace
}  // namespace vellotype
