#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/AppHarness.h"
#include "visual/StatusBarIcon.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> titles(const Menu& menu) {
  std::vector<std::string> result;
  for (const auto& item : menu.items()) {
    result.push_back(item->isSeparatorItem() ? "---" : item->title());
  }
  return result;
}

std::vector<std::string> marked(const Menu& menu) {
  std::vector<std::string> result;
  for (const auto& item : menu.items()) {
    if (item->state() == MenuItem::State::on) result.push_back(item->title());
  }
  return result;
}

TEST(Startup, FirstLaunchRunsInOrderAndShowsTheDefaults) {
  AppHarness h(/*launched=*/false);
  h.app->applicationDidFinishLaunching();
  EXPECT_THAT(h.log.calls(),
              ElementsAre("speech: locale zh-CN", "app: mainMenu", "statusImage: Voice Input",
                          "speech: requestPermissions", "keyMonitor: start"));
  EXPECT_TRUE(h.speech->onFinalResult && h.keyMonitor->onKeyDown && h.keyMonitor->onKeyUp &&
              h.keyMonitor->onChordKey);

  const auto& menu = *h.statusBar.menu;
  EXPECT_THAT(titles(menu), ElementsAre("Enabled", "Hotkey: Control...", "---", "Language",
                                        "LLM Refinement", "---", "Quit Vellotype"));
  EXPECT_THAT(marked(menu), ElementsAre("Enabled"));
  const auto& languages = *h.menuItem({"Language"}).submenu();
  EXPECT_THAT(
      titles(languages),
      ElementsAre("System Default", "English (US)", "\u4e2d\u6587 (\u7b80\u4f53)",
                  "\u4e2d\u6587 (\u7e41\u9ad4)", "\u65e5\u672c\u8a9e", "\ud55c\uad6d\uc5b4"));
  EXPECT_THAT(marked(languages), ElementsAre("\u4e2d\u6587 (\u7b80\u4f53)"));
  EXPECT_THAT(titles(*h.menuItem({"LLM Refinement"}).submenu()),
              ElementsAre("Enabled", "---", "Settings..."));
  EXPECT_EQ(h.menuItem({"LLM Refinement", "Enabled"}).state(), MenuItem::State::off);
  EXPECT_EQ(h.menuItem({"Quit Vellotype"}).keyEquivalent(), "q");

  EXPECT_EQ(h.statusBar.image, &StatusBarIcon::image(false));
  EXPECT_EQ(h.statusBar.toolTip, "Vellotype");
  EXPECT_EQ(h.statusBar.tint, std::nullopt);
  EXPECT_THAT(h.alerts.shown, IsEmpty());
}

TEST(Startup, MainMenuHasQuitAndTheEditingCommands) {
  AppHarness h;
  const auto& items = h.application.mainMenu->items();
  ASSERT_EQ(items.size(), 2u);
  const auto& quit = *items[0]->submenu()->items().at(0);
  EXPECT_EQ(quit.title(), "Quit Vellotype");
  EXPECT_EQ(quit.keyEquivalent(), "q");

  const auto& edit = *items[1]->submenu();
  EXPECT_EQ(edit.title(), "Edit");
  EXPECT_THAT(titles(edit),
              ElementsAre("Undo", "Redo", "---", "Cut", "Copy", "Paste", "Select All"));
  std::string keys;
  for (const auto& item : edit.items()) keys += item->keyEquivalent();
  EXPECT_EQ(keys, "zZxcva");
  EXPECT_EQ(edit.items()[1]->keyEquivalentModifierMask(), 0x120000u);
  EXPECT_EQ(edit.items()[1]->editCommand(), MenuItem::EditCommand::redo);
  EXPECT_FALSE(edit.items()[5]->hasAction()) << "editing goes to the focused field";
}

TEST(Startup, SavedLanguageIsGivenToTheEngineBeforeTheMenus) {
  for (const auto& [saved, engine, mark] :
       {std::tuple{"en-US", "en-US", "English (US)"}, {"", "de-DE", "System Default"}}) {
    AppHarness h(/*launched=*/false);
    h.preferences.setString(prefs::kSelectedLocaleCode, saved);
    h.app->applicationDidFinishLaunching();
    EXPECT_EQ(h.log.calls().front(), "speech: locale " + std::string(engine));
    EXPECT_THAT(marked(*h.menuItem({"Language"}).submenu()), ElementsAre(mark));
  }
}

TEST(Startup, RefusedPermissionShowsTheEnginesMessageOnce) {
  AppHarness h;
  h.speech->permissionCompletion(true, std::nullopt);
  h.speech->permissionCompletion(false, std::nullopt);
  EXPECT_THAT(h.alerts.shown, IsEmpty());
  h.speech->permissionCompletion(false, "Microphone access was denied.");
  ASSERT_EQ(h.alerts.shown.size(), 1u);
  EXPECT_EQ(h.alerts.shown[0].messageText, "Permission Required");
  EXPECT_EQ(h.alerts.shown[0].informativeText, "Microphone access was denied.");
  h.app.reset();
  h.speech->permissionCompletion(false, "late");
  EXPECT_EQ(h.alerts.shown.size(), 1u);
}

TEST(Startup, NoKeyboardAccessExplainsAndQuitsWhicheverButton) {
  for (const std::size_t button : {0u, 1u}) {
    AppHarness h(/*launched=*/false);
    h.keyMonitor->startResult = EventTap::StartResult::unavailable;
    h.keyMonitor->setTriggerKey({TriggerKey::Kind::keyCode, std::nullopt, 96, "F5"});
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

TEST(Startup, KeyHeldByAnotherProgramIsExplainedAndTheProgramStays) {
  AppHarness h(/*launched=*/false);
  h.keyMonitor->startResult = EventTap::StartResult::keyInUse;
  h.app->applicationDidFinishLaunching();
  ASSERT_EQ(h.alerts.shown.size(), 1u);
  EXPECT_EQ(h.alerts.shown[0].messageText, "Hotkey Unavailable");
  EXPECT_THAT(h.alerts.shown[0].informativeText,
              ::testing::StartsWith("Another program is already using Control as a shortcut"));
  EXPECT_EQ(h.log.count("app: terminate"), 0u);

  // The user picks another key, and the monitor starts once the window closes.
  h.menuItem({"Hotkey: Control..."}).perform();
  h.keyMonitor->startResult = EventTap::StartResult::started;
  h.hotkeyWindow->onClosed();
  EXPECT_TRUE(h.keyMonitor->running);
}

TEST(Startup, MissingTrayAndWaylandAreExplained) {
  AppHarness h(/*launched=*/false);
  h.statusBar.hasButton = false;
  h.workspace.wayland = true;
  h.app->applicationDidFinishLaunching();
  ASSERT_EQ(h.alerts.shown.size(), 2u);
  EXPECT_EQ(h.alerts.shown[0].messageText, "No System Tray");
  EXPECT_EQ(h.alerts.shown[1].messageText, "Wayland Session");
  EXPECT_TRUE(h.keyMonitor->running);

  AppHarness relaunched(/*launched=*/false);
  relaunched.preferences = h.preferences;
  relaunched.workspace.wayland = true;
  relaunched.app->applicationDidFinishLaunching();
  EXPECT_THAT(relaunched.alerts.shown, IsEmpty()) << "the Wayland notice is shown once";
}

}  // namespace
}  // namespace vellotype
