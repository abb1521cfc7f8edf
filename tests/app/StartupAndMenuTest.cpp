#include <gmock/gmock.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using State = MenuItem::State;

const TriggerKey kF5{TriggerKey::Kind::keyCode, std::nullopt, 96, "F5"};

std::vector<std::string> titles(const Menu& menu, bool markedOnly = false) {
  std::vector<std::string> result;
  for (const auto& item : menu.items()) {
    if (markedOnly && item->state() != State::on) continue;
    result.push_back(item->isSeparatorItem() ? "---" : item->title());
  }
  return result;
}

TEST(Startup, FirstLaunchRunsInOrderAndShowsTheDefaults) {
  AppHarness h;
  EXPECT_THAT(h.log.calls(),
              ElementsAre("speech: locale zh-CN", "app: mainMenu", "statusImage: Voice Input",
                          "speech: requestPermissions", "keyMonitor: start"));
  const auto& menu = *h.statusBar.menu;
  EXPECT_THAT(titles(menu),
              ElementsAre("Enabled", "Start at Login", "Hotkey: Control...", "Retry Last Recording",
                          "---", "Language", "LLM Refinement", "---", "Quit Vellotype"));
  EXPECT_THAT(titles(menu, true), ElementsAre("Enabled"));
  const auto& languages = *h.menuItem({"Language"}).submenu();
  EXPECT_THAT(titles(languages),
              ElementsAre("System Default", "English (US)", "\u4e2d\u6587 (\u7b80\u4f53)",
                          "\u4e2d\u6587 (\u7e41\u9ad4)", "\u65e5\u672c\u8a9e", "\ud55c\uad6d\uc5b4",
                          "---", "Speech Service..."));
  EXPECT_THAT(titles(languages, true), ElementsAre("\u4e2d\u6587 (\u7b80\u4f53)"));
  EXPECT_EQ(h.menuItem({"LLM Refinement", "Enabled"}).state(), State::off);
  EXPECT_THAT(h.alerts.shown, IsEmpty());
}

TEST(Startup, RefusedPermissionShowsTheEnginesMessageOnceAndTheProgramStays) {
  AppHarness h;
  h.speech->permissionCompletion(true, std::nullopt);
  h.speech->permissionCompletion(false, "Microphone access was denied.");
  ASSERT_EQ(h.alerts.shown.size(), 1u);
  EXPECT_EQ(h.alerts.shown[0].messageText, "Permission Required");
  EXPECT_EQ(h.alerts.shown[0].informativeText, "Microphone access was denied.");
  EXPECT_EQ(h.log.count("app: terminate"), 0u);
}

TEST(Startup, NoKeyboardAccessExplainsAndQuitsWhicheverButton) {
  for (const std::size_t button : {0u, 1u}) {
    AppHarness h(/*launched=*/false);
    h.keyMonitor->startResult = EventTap::StartResult::unavailable;
    h.keyMonitor->setTriggerKey(kF5);
    h.alerts.answers = {button};
    h.app->applicationDidFinishLaunching();
    ASSERT_EQ(h.alerts.shown.size(), 1u);
    const auto& alert = h.alerts.shown[0];
    EXPECT_EQ(alert.messageText, "Accessibility Permission Required");
    EXPECT_EQ(alert.informativeText,
              "Vellotype needs Accessibility permission to monitor the configured hotkey (F5).\n"
              "\n"
              "1. Log in to an X11 desktop session (on Wayland, keep XWayland enabled)\n"
              "2. Make sure the X server offers the XInput 2 extension\n"
              "3. Restart the app");
    EXPECT_THAT(alert.buttons, ElementsAre("Open System Settings", "Quit"));
    EXPECT_EQ(h.log.count("workspace: open " + std::string(AppHarness::kHelpURL)),
              button == 0 ? 1u : 0u);
    EXPECT_EQ(h.log.calls().back(), "app: terminate");
  }
}

// The hotkey and the paste reach every application: nothing to say. No way at all: the
// program says why and stays, where on X11 it would have nothing to stay for.
TEST(Startup, OnWaylandTheKeyboardsReachDecidesWhatIsSaid) {
  AppHarness everywhere(/*launched=*/false);
  everywhere.workspace.wayland = true;
  everywhere.boundHotkeyName = "Right Ctrl";
  everywhere.app->applicationDidFinishLaunching();
  everywhere.queue.advanceBy(5);
  EXPECT_THAT(everywhere.alerts.shown, IsEmpty());
  EXPECT_NO_THROW(everywhere.menuItem({"Hotkey: Right Ctrl..."})) << "the key the desktop bound";

  AppHarness nowhere(/*launched=*/false);
  nowhere.workspace.wayland = true;
  nowhere.keyboardLimitation = "Join the input group.";
  nowhere.keyMonitor->startResult = EventTap::StartResult::unavailable;
  nowhere.app->applicationDidFinishLaunching();
  ASSERT_FALSE(nowhere.alerts.shown.empty());
  EXPECT_EQ(nowhere.alerts.shown[0].messageText, "Hotkey Unavailable");
  EXPECT_EQ(nowhere.alerts.shown[0].informativeText, "Join the input group.");
  EXPECT_EQ(nowhere.log.count("app: terminate"), 0u);
}

TEST(Startup, KeyHeldByAnotherProgramIsExplainedAndAnotherKeyCanBeChosen) {
  AppHarness h(/*launched=*/false);
  h.keyMonitor->startResult = EventTap::StartResult::keyInUse;
  h.app->applicationDidFinishLaunching();
  EXPECT_EQ(h.log.calls().back(), "alert: Hotkey Unavailable");
  h.menuItem({"Hotkey: Control..."}).perform();
  h.keyMonitor->startResult = EventTap::StartResult::started;
  h.hotkeyWindow->onClosed();
  EXPECT_TRUE(h.keyMonitor->running);
  EXPECT_EQ(h.log.count("app: terminate"), 0u);
}

TEST(Startup, ATrayMissingFiveSecondsAfterStartOrWaylandIsExplainedAndTheWaylandNoticeOnce) {
  FakePreferences stored;
  for (const bool trayAppears : {false, true}) {
    AppHarness h(/*launched=*/false);
    h.statusBar.statusArea = false;
    h.workspace.wayland = true;
    h.keyboardLimitation = "Only X11 applications.";
    h.app->applicationDidFinishLaunching();
    EXPECT_EQ(h.log.count("alert: Wayland Session"), 1u);
    EXPECT_EQ(h.alerts.shown.at(0).informativeText, "Only X11 applications.");
    h.queue.advanceBy(4.999);  // a panel starting with the desktop may still bring a tray
    EXPECT_EQ(h.log.count("alert: No System Tray"), 0u);
    h.statusBar.statusArea = trayAppears;
    h.queue.advanceBy(0.001);
    EXPECT_EQ(h.log.count("alert: No System Tray"), trayAppears ? 0u : 1u);
    stored = h.preferences;
  }
  AppHarness relaunched(/*launched=*/false);
  relaunched.preferences = stored;
  relaunched.workspace.wayland = true;
  relaunched.keyboardLimitation = "Only X11 applications.";
  relaunched.app->applicationDidFinishLaunching();
  relaunched.queue.runUntilIdle();
  EXPECT_THAT(relaunched.alerts.shown, IsEmpty());
}

// A recording abandoned while the key is held: capsule gone, normal icon, nothing delivered.
void expectAbandoned(AppHarness& h) {
  EXPECT_FALSE(h.app->isRecording());
  EXPECT_EQ(h.log.count("speech: cancel"), 1u);
  EXPECT_TRUE(!h.overlay || !h.overlay->visible);
  EXPECT_EQ(h.statusBar.toolTip, "Vellotype");
  h.speech->onFinalResult("late words");
  h.app->triggerUp();
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("sound: Pop"), 0u);
}

TEST(StatusMenuEnabled, OffAbandonsAHeldUtteranceButNotAReleasedOneAndOnRecordsAgain) {
  AppHarness h;
  h.app->triggerDown();
  auto& enabled = h.menuItem({"Enabled"});
  enabled.perform();
  EXPECT_EQ(enabled.state(), State::off);
  EXPECT_FALSE(h.keyMonitor->running);
  expectAbandoned(h);
  h.app->triggerDown();
  EXPECT_FALSE(h.app->isRecording()) << "key-down is ignored while switched off";

  enabled.perform();
  EXPECT_EQ(enabled.state(), State::on);
  EXPECT_TRUE(h.keyMonitor->running);
  h.speak("kept");
  enabled.perform();
  h.queue.runUntilIdle();
  EXPECT_EQ(h.log.count("inject: kept"), 1u);
}

TEST(StatusMenuChord, ShortcutTypedWithTheTriggerAbandonsTheUtterance) {
  AppHarness h;
  h.keyMonitor->report(h.keyMonitor->onKeyDown);
  h.keyMonitor->report(h.keyMonitor->onChordKey);  // Control+C
  expectAbandoned(h);
  h.keyMonitor->report(h.keyMonitor->onKeyDown);
  EXPECT_TRUE(h.app->isRecording()) << "the next press records again";
}

TEST(StatusMenuHotkey, WindowStopsTheMonitorAndANewKeyIsWatchedAfterClosing) {
  AppHarness h;
  h.app->triggerDown();  // a recording would run on unseen while the window is open
  h.queue.advanceBy(0.2);
  const auto mark = h.log.size();
  h.menuItem({"Hotkey: Control..."}).perform();
  EXPECT_THAT(h.log.callsSince(mark),
              ElementsAre("keyMonitor: stop", "speech: cancel", "overlay: dismiss",
                          "statusImage: Voice Input", "hotkeyWindow: reload", "hotkeyWindow: show",
                          "app: activate"));
  h.hotkeyWindow->onHotkeyChanged(kF5);
  EXPECT_EQ(h.keyMonitor->triggerKey(), kF5);
  EXPECT_FALSE(h.keyMonitor->running);
  h.hotkeyWindow->onClosed();
  EXPECT_TRUE(h.keyMonitor->running);

  h.menuItem({"Enabled"}).perform();
  h.menuItem({"Hotkey: F5..."}).perform();
  h.hotkeyWindow->onClosed();
  EXPECT_FALSE(h.keyMonitor->running) << "switched off, closing the window starts nothing";
}

TEST(StatusMenuLanguage, ChoiceIsStoredGivenToTheEngineMarkedAloneAndKeptForTheNextLaunch) {
  for (const auto& [title, code, locale] :
       {std::tuple{"English (US)", "en-US", "en-US"}, {"System Default", "", "de-DE"}}) {
    AppHarness h;
    h.menuItem({"Language", title}).perform();
    EXPECT_EQ(h.preferences.stringValue(prefs::kSelectedLocaleCode), code);
    EXPECT_EQ(h.log.calls().back(), "speech: locale " + std::string(locale));

    AppHarness relaunched(/*launched=*/false);
    relaunched.preferences = h.preferences;
    relaunched.app->applicationDidFinishLaunching();
    EXPECT_EQ(relaunched.log.calls().front(), "speech: locale " + std::string(locale));
    for (const auto* app : {&h, &relaunched}) {
      EXPECT_THAT(titles(*app->menuItem({"Language"}).submenu(), true), ElementsAre(title));
    }
  }
}

TEST(StatusMenuCommands, RefinementTogglesAndSettingsOpenInFrontAndQuitStopsTheMonitorFirst) {
  AppHarness h;
  auto& refinement = h.menuItem({"LLM Refinement", "Enabled"});
  for (const bool on : {true, false}) {
    refinement.perform();
    EXPECT_EQ(h.preferences.boolValue(prefs::kLLMEnabled), on);
    EXPECT_EQ(refinement.state(), on ? State::on : State::off);
  }
  auto mark = h.log.size();
  h.menuItem({"LLM Refinement", "Settings..."}).perform();
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("settingsWindow: show", "app: activate"));
  mark = h.log.size();
  h.menuItem({"Quit Vellotype"}).perform();
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("keyMonitor: stop", "app: terminate"));
}

}  // namespace
}  // namespace vellotype
