#include <gtest/gtest.h>

#include "InputMethodDesktop.h"
#include "InputSourcePrinting.h"
#include "platform/fcitx/Fcitx5InputSources.h"

namespace vellotype {
namespace {

const InputSource kUS{"keyboard-us", true};
const InputSource kGerman{"keyboard-de", true};
const InputSource kRussian{"keyboard-ru", false};

class Fcitx5Daemon : public ::testing::Test {
 protected:
  void SetUp() override { VELLOTYPE_START_OR_SKIP(desktop_, startSessionBus()); }

  testing::InputMethodDesktop desktop_;
  LatinLayouts latinLayouts_;
};

TEST_F(Fcitx5Daemon, CurrentListSelectAndSelectBack) {
  VELLOTYPE_START_OR_SKIP(desktop_, startFcitx5({"keyboard-ru", "keyboard-de", "keyboard-us"}));
  Fcitx5InputSources sources(desktop_.sessionBus(), latinLayouts_);
  EXPECT_TRUE(sources.isRunning());
  // Fcitx5 has no current input method before an application has had the focus.
  EXPECT_EQ(sources.current(), std::nullopt);
  ASSERT_TRUE(desktop_.focusFcitx5TextField()) << desktop_.error();

  EXPECT_EQ(sources.current(), kRussian);
  EXPECT_EQ(sources.enabledASCIICapableSources(), (std::vector{kGerman, kUS}));
  sources.select(kUS);
  EXPECT_EQ(sources.current(), kUS);
  sources.select(kRussian);
  EXPECT_EQ(sources.current(), kRussian);
}

TEST_F(Fcitx5Daemon, ALookAtItNeverStartsIt) {
  Fcitx5InputSources sources(desktop_.sessionBus(), latinLayouts_);
  EXPECT_FALSE(sources.isRunning());
  EXPECT_EQ(sources.current(), std::nullopt);
  EXPECT_EQ(sources.enabledASCIICapableSources(), std::nullopt);
  sources.select(kUS);
  // Fcitx5 installs a bus activation file: a call that allowed it would have launched it.
  EXPECT_EQ(desktop_.sessionBusLog().find("org.fcitx.Fcitx5"), std::string::npos)
      << desktop_.sessionBusLog();
  EXPECT_FALSE(sources.isRunning());
}

}  // namespace
}  // namespace vellotype
