#include <gmock/gmock.h>

#include "app/AppHarness.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using State = MenuItem::State;

TEST(StartAtLoginMenu, FollowsEnabledAndShowsWhetherTheProgramStartsAtLoginEachTimeItOpens) {
  AppHarness h(/*launched=*/false);
  h.loginItems.enabled = true;
  h.app->applicationDidFinishLaunching();
  const auto& menu = *h.statusBar.menu;
  ASSERT_GE(menu.items().size(), 2u);
  EXPECT_EQ(menu.items()[0]->title(), "Enabled");
  EXPECT_EQ(menu.items()[1]->title(), "Start at Login");
  EXPECT_EQ(menu.items()[1]->state(), State::on);

  // As when the user deletes the autostart entry by hand.
  h.loginItems.enabled = false;
  menu.onWillOpen();
  EXPECT_EQ(menu.items()[1]->state(), State::off);
}

TEST(StartAtLoginMenu, ChoosingTheItemTurnsStartAtLoginOnAndOff) {
  AppHarness h;
  auto& item = h.menuItem({"Start at Login"});
  const auto mark = h.log.size();
  item.perform();
  EXPECT_TRUE(h.loginItems.enabled);
  EXPECT_EQ(item.state(), State::on);
  item.perform();
  EXPECT_FALSE(h.loginItems.enabled);
  EXPECT_EQ(item.state(), State::off);
  EXPECT_THAT(h.log.callsSince(mark), ElementsAre("loginItems: on", "loginItems: off"));
  EXPECT_THAT(h.alerts.shown, IsEmpty());
}

TEST(StartAtLoginMenu, AFailedChangeSaysWhyAndTheMarkStaysAsThingsAre) {
  for (const bool enabled : {false, true}) {
    AppHarness h(/*launched=*/false);
    h.loginItems.enabled = enabled;
    h.app->applicationDidFinishLaunching();
    h.loginItems.failure = "/home/u/.config/autostart is not a folder";
    auto& item = h.menuItem({"Start at Login"});
    item.perform();
    EXPECT_EQ(item.state(), enabled ? State::on : State::off);
    ASSERT_EQ(h.alerts.shown.size(), 1u);
    EXPECT_EQ(h.alerts.shown[0].messageText, "Start at Login Unchanged");
    EXPECT_EQ(h.alerts.shown[0].informativeText,
              "Vellotype could not change its start at login: /home/u/.config/autostart is not a "
              "folder.");
  }
}

}  // namespace
}  // namespace vellotype
