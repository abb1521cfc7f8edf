#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;

const TriggerKey kF5{TriggerKey::Kind::keyCode, std::nullopt, 96, "F5"};

// A recording abandoned while the key is held: capsule gone, normal icon, nothing delivered,
// nothing its recogniser still says reaches the user.
void expectAbandoned(AppHarness& h) {
  EXPECT_FALSE(h.app->isRecording());
  EXPECT_EQ(h.log.count("speech: cancel"), 1u);
  EXPECT_FALSE(h.overlay->visible);
  EXPECT_EQ(h.statusBar.toolTip, "Vellotype");
  h.speech->onPartialResult("late words");
  h.speech->onFinalResult("late words");
  h.app->triggerUp();
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("speech: stop"), 0u);
  EXPECT_EQ(h.log.count("sound: Pop"), 0u);
}

TEST(StatusMenuEnabled, SwitchingOffWhileHeldAbandonsTheUtterance) {
  AppHarness h;
  h.app->triggerDown();
  h.speech->onPartialResult("half a sen");
  h.menuItem({"Enabled"}).perform();
  EXPECT_FALSE(h.app->isEnabled());
  EXPECT_EQ(h.menuItem({"Enabled"}).state(), MenuItem::State::off);
  EXPECT_FALSE(h.keyMonitor->running);
  expectAbandoned(h);

  h.app->triggerDown();
  EXPECT_FALSE(h.app->isRecording()) << "key-down is ignored while switched off";
  h.menuItem({"Enabled"}).perform();
  EXPECT_TRUE(h.keyMonitor->running);
  EXPECT_EQ(h.menuItem({"Enabled"}).state(), MenuItem::State::on);
}

TEST(StatusMenuEnabled, SwitchingOffAfterReleaseStillDelivers) {
  AppHarness h;
  h.app->triggerDown();
  h.app->triggerUp();
  h.menuItem({"Enabled"}).perform();
  h.speech->onFinalResult("kept");
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: kept"), 1u);
}

TEST(StatusMenuEnabled, SwitchingOnWithoutKeyboardAccessQuits) {
  AppHarness h;
  h.menuItem({"Enabled"}).perform();
  h.keyMonitor->startResult = EventTap::StartResult::unavailable;
  h.menuItem({"Enabled"}).perform();
  EXPECT_EQ(h.alerts.shown.at(0).messageText, "Accessibility Permission Required");
  EXPECT_EQ(h.log.calls().back(), "app: terminate");
}

TEST(StatusMenuChord, ShortcutTypedWithTheTriggerAbandonsTheUtterance) {
  AppHarness h;
  h.keyMonitor->report(h.keyMonitor->onKeyDown);
  h.speech->onPartialResult("copy");
  h.keyMonitor->report(h.keyMonitor->onChordKey);  // Control+C
  expectAbandoned(h);
  EXPECT_TRUE(h.app->isEnabled());
  EXPECT_TRUE(h.keyMonitor->running);

  h.keyMonitor->report(h.keyMonitor->onKeyDown);
  EXPECT_TRUE(h.app->isRecording()) << "the next press records again";
}

TEST(StatusMenuHotkey, WindowStopsTheMonitorAndANewKeyIsWatchedAfterClosing) {
  AppHarness h;
  h.app->triggerDown();  // a recording would run on unseen while the window is open
  auto mark = h.log.size();
  h.menuItem({"Hotkey: Control..."}).perform();
  EXPECT_THAT(h.log.callsSince(mark),
              ElementsAre("keyMonitor: stop", "speech: cancel", "overlay: dismiss",
                          "statusImage: Voice Input", "hotkeyWindow: reload", "hotkeyWindow: show",
                          "app: activate"));

  h.hotkeyWindow->onHotkeyChanged(kF5);
  EXPECT_EQ(h.keyMonitor->triggerKey(), kF5);
  EXPECT_EQ(h.menuItem({"Hotkey: F5..."}).title(), "Hotkey: F5...");
  EXPECT_FALSE(h.keyMonitor->running);
  h.hotkeyWindow->onClosed();
  EXPECT_TRUE(h.keyMonitor->running);

  // Switched off, opening and closing the window leaves the monitor alone.
  h.menuItem({"Enabled"}).perform();
  mark = h.log.size();
  h.menuItem({"Hotkey: F5..."}).perform();
  h.hotkeyWindow->onClosed();
  EXPECT_EQ(h.log.count("keyMonitor: start"), 2u);
  EXPECT_FALSE(h.keyMonitor->running);
}

TEST(StatusMenuLanguage, ChoiceIsStoredGivenToTheEngineAndMarkedAlone) {
  AppHarness h;
  auto& english = h.menuItem({"Language", "English (US)"});
  english.perform();
  EXPECT_EQ(h.preferences.stringValue(prefs::kSelectedLocaleCode), "en-US");
  EXPECT_EQ(h.log.calls().back(), "speech: locale en-US");
  EXPECT_EQ(english.state(), MenuItem::State::on);
  EXPECT_EQ(h.menuItem({"Language", "\u4e2d\u6587 (\u7b80\u4f53)"}).state(), MenuItem::State::off);

  h.menuItem({"Language", "System Default"}).perform();
  EXPECT_EQ(h.preferences.stringValue(prefs::kSelectedLocaleCode), "");
  EXPECT_EQ(h.log.calls().back(), "speech: locale de-DE");
  EXPECT_EQ(english.state(), MenuItem::State::off);

  MenuItem stray("Stray", [&](MenuItem& item) { h.app->changeLanguage(item); });
  stray.perform();  // no represented object
  EXPECT_EQ(h.preferences.stringValue(prefs::kSelectedLocaleCode), "");
}

TEST(StatusMenuLLM, TogglingTwiceRestoresTheSettingAndTheMark) {
  AppHarness h;
  auto& item = h.menuItem({"LLM Refinement", "Enabled"});
  item.perform();
  EXPECT_EQ(h.preferences.boolValue(prefs::kLLMEnabled), true);
  EXPECT_EQ(item.state(), MenuItem::State::on);
  item.perform();
  EXPECT_EQ(h.preferences.boolValue(prefs::kLLMEnabled), false);
  EXPECT_EQ(item.state(), MenuItem::State::off);
}

TEST(StatusMenuCommands, SettingsOpenInFrontAndQuitStopsTheMonitorFirst) {
  AppHarness h;
  auto mark = h.log.size();
  h.menuItem({"LLM Refinement", "Settings..."}).perform();
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("settingsWindow: show", "app: activate"));

  mark = h.log.size();
  h.menuItem({"Quit Vellotype"}).perform();
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("keyMonitor: stop", "app: terminate"));
}

}  // namespace
}  // namespace vellotype
