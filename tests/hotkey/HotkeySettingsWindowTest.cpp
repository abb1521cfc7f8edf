#include <gtest/gtest.h>

#include "fakes/FakeHotkeySettingsView.h"
#include "fakes/FakePreferences.h"
#include "hotkey/HotkeySettingsWindow.h"
#include "platform/PreferenceKeys.h"

namespace vellotype {
namespace {

using TextColor = HotkeySettingsView::TextColor;

const std::string kInstruction =
    "Click Record, then press the key you want to hold for voice input.";

KeyEvent event(KeyEvent::Type type, std::uint16_t code, std::uint64_t flags = 0) {
  KeyEvent e;
  e.type = type;
  e.keyCode = code;
  e.modifierFlags = flags;
  return e;
}
KeyEvent keyDown(std::uint16_t code) { return event(KeyEvent::Type::keyDown, code); }
KeyEvent flagsChanged(std::uint16_t code, std::uint64_t flags) {
  return event(KeyEvent::Type::flagsChanged, code, flags);
}

// Logs each stored value among the view's calls.
class LoggedPreferences : public FakePreferences {
 public:
  explicit LoggedPreferences(std::vector<std::string>& calls) : calls_(calls) {}
  void setString(std::string_view key, std::string_view value) override {
    calls_.push_back("save " + std::string(key));
    FakePreferences::setString(key, value);
  }

 private:
  std::vector<std::string>& calls_;
};

class HotkeySettingsWindowTest : public ::testing::Test {
 protected:
  HotkeySettingsWindowTest() {
    auto owned = std::make_unique<FakeHotkeySettingsView>(calls);
    view = owned.get();
    window = std::make_shared<HotkeySettingsWindow>(preferences, std::move(owned));
    window->onHotkeyChanged = [this](const TriggerKey& key) { changes.push_back(key); };
    window->onClosed = [this] { ++closes; };
  }

  TriggerKey stored() const { return TriggerKey::load(preferences); }
  std::vector<std::string> callsSince(std::size_t mark) const {
    return {calls.begin() + std::ptrdiff_t(mark), calls.end()};
  }

  std::vector<std::string> calls;
  LoggedPreferences preferences{calls};
  FakeHotkeySettingsView* view;
  std::shared_ptr<HotkeySettingsWindow> window;
  std::vector<TriggerKey> changes;
  int closes = 0;
};

TEST_F(HotkeySettingsWindowTest, StartsBuiltOnceCentredAndHiddenShowingTheStoredKey) {
  EXPECT_EQ(view->builds, 1);
  EXPECT_EQ(view->layout.title, "Hotkey Settings");
  EXPECT_TRUE(view->centered);
  EXPECT_FALSE(view->onScreen);
  EXPECT_EQ(view->currentKey, "Control");
  EXPECT_EQ(view->status, kInstruction);
  EXPECT_EQ(view->statusColor, TextColor::secondaryLabel);
}

TEST_F(HotkeySettingsWindowTest, RecordingTwiceInstallsOneCapture) {
  view->onRecord();
  view->onRecord();
  EXPECT_EQ(view->installs, 1);
  EXPECT_EQ(view->status, "Press a modifier or key now. Escape cancels.");
  EXPECT_EQ(view->statusColor, TextColor::systemBlue);
}

TEST_F(HotkeySettingsWindowTest, EscapeCancelsWithoutSaving) {
  view->onRecord();
  EXPECT_TRUE(view->send(keyDown(53)));
  EXPECT_FALSE(view->capture);
  EXPECT_EQ(view->status, "Capture cancelled.");
  EXPECT_EQ(view->statusColor, TextColor::secondaryLabel);
  EXPECT_TRUE(preferences.values.empty());
  EXPECT_TRUE(changes.empty());
}

TEST_F(HotkeySettingsWindowTest, RightCommandIsSavedAndItsReleasePassesOn) {
  view->onRecord();
  const auto capture = view->capture;
  EXPECT_TRUE(capture(flagsChanged(54, 0x100000)));
  const TriggerKey rightCommand{TriggerKey::Kind::modifier, TriggerKey::Modifier::command, 54,
                                "Right Command"};
  EXPECT_EQ(stored(), rightCommand);
  EXPECT_EQ(changes, std::vector{rightCommand});
  EXPECT_EQ(view->currentKey, "Right Command");
  EXPECT_EQ(view->status, "Saved. Hold Right Command to start voice input, release it to finish.");
  EXPECT_EQ(view->statusColor, TextColor::systemGreen);
  EXPECT_FALSE(capture(flagsChanged(54, 0))) << "an ended capture hands the release on";
}

TEST_F(HotkeySettingsWindowTest, KeysThatNameNoTriggerAreTakenAndTheCaptureGoesOn) {
  view->onRecord();
  EXPECT_TRUE(view->send(flagsChanged(57, 0))) << "Caps Lock";
  EXPECT_TRUE(view->send(flagsChanged(59, 0))) << "Left Control going up";
  EXPECT_FALSE(view->send(event(KeyEvent::Type::keyUp, 0))) << "a key going up passes";
  EXPECT_TRUE(window->isCapturing());
  EXPECT_TRUE(preferences.values.empty());

  view->send(keyDown(36));
  EXPECT_EQ(stored(), (TriggerKey{TriggerKey::Kind::keyCode, std::nullopt, 36, "Return"}));
}

TEST_F(HotkeySettingsWindowTest, ResetSavesControlOnEitherSideAndEndsACapture) {
  preferences.setString(prefs::kTriggerKeyKind, "keyCode");
  view->onRecord();
  view->onReset();
  EXPECT_EQ(stored(), TriggerKey::defaultKey());
  EXPECT_EQ(preferences.stringValue(prefs::kTriggerKeyModifier), "control");
  EXPECT_EQ(changes, std::vector{TriggerKey::defaultKey()});
  EXPECT_FALSE(view->capture);
}

TEST_F(HotkeySettingsWindowTest, SavesThenAnnouncesThenEndsTheCaptureThenTellsTheApplication) {
  view->onRecord();
  window->onHotkeyChanged = [this](const TriggerKey&) { calls.push_back("changed"); };
  const auto mark = calls.size();
  view->send(keyDown(96));
  EXPECT_EQ(callsSince(mark),
            (std::vector<std::string>{
                "save triggerKeyKind", "save triggerKeyDisplayName", "key: F5",
                "status: Saved. Hold F5 to start voice input, release it to finish.",
                "remove capture", "changed"}));
}

TEST_F(HotkeySettingsWindowTest, ClosingEndsTheCaptureHidesAndTellsTheOwner) {
  window->makeKeyAndOrderFront();
  view->onRecord();
  const auto mark = calls.size();
  view->onCloseButton();
  EXPECT_EQ(callsSince(mark), (std::vector<std::string>{"remove capture", "order out"}));
  EXPECT_EQ(closes, 1);
  view->onDone();
  EXPECT_EQ(closes, 2);
}

TEST_F(HotkeySettingsWindowTest, ReopeningShowsTheSavedKeyAndTheInstructionAgain) {
  view->onRecord();
  view->send(flagsChanged(61, 0x80000));
  view->onDone();
  window->reload();
  EXPECT_EQ(view->currentKey, "Right Option");
  EXPECT_EQ(view->status, kInstruction);
  EXPECT_EQ(view->statusColor, TextColor::secondaryLabel);

  view->onRecord();
  window->reload();
  EXPECT_TRUE(window->isCapturing()) << "reloading leaves a capture running";
}

TEST_F(HotkeySettingsWindowTest, ACaptureOutlivingTheWindowTakesNothing) {
  view->onRecord();
  const auto capture = view->capture;
  window.reset();
  EXPECT_FALSE(capture(keyDown(96)));
}

}  // namespace
}  // namespace vellotype
