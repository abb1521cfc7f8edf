#include <gtest/gtest.h>

#include "InputMethodDesktop.h"
#include "InputSourcePrinting.h"
#include "platform/inputsources/ActiveInputSources.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using Desktop = testing::InputMethodDesktop;

const InputSource kLayoutAlone{"keyboard-layout", true};
const InputSource kIBusUS{"xkb:us::eng", true};
const InputSource kIBusRussian{"xkb:ru::rus", false};
const InputSource kFcitx5US{"keyboard-us", true};
const InputSource kFcitx5Russian{"keyboard-ru", false};

class FrameworkChoice : public ::testing::Test {
 protected:
  void SetUp() override { VELLOTYPE_START_OR_SKIP(desktop_, startSessionBus()); }

  bool becomes(const InputSource& expected) {
    return Desktop::waitUntil([&] { return sources_->current() == expected; }, 5s);
  }

  Desktop desktop_;
  std::unique_ptr<ActiveInputSources> sources_;
};

TEST_F(FrameworkChoice, FollowsTheFrameworkThatRuns) {
  sources_ = std::make_unique<ActiveInputSources>(desktop_.sessionBus());
  EXPECT_EQ(sources_->current(), kLayoutAlone);
  EXPECT_EQ(sources_->enabledASCIICapableSources(), std::vector<InputSource>{});

  VELLOTYPE_START_OR_SKIP(desktop_, startIBus());
  ASSERT_TRUE(desktop_.setIBusPreloadEngines({"xkb:ru::rus", "xkb:us::eng"})) << desktop_.error();
  EXPECT_EQ(sources_->current(), std::nullopt);
  sources_->select(kIBusRussian);
  EXPECT_TRUE(becomes(kIBusRussian));
  EXPECT_EQ(sources_->enabledASCIICapableSources(), std::vector{kIBusUS});

  VELLOTYPE_START_OR_SKIP(desktop_, startFcitx5({"keyboard-ru", "keyboard-us"}));
  ASSERT_TRUE(desktop_.focusFcitx5TextField()) << desktop_.error();
  EXPECT_EQ(sources_->current(), kFcitx5Russian);
  EXPECT_EQ(sources_->enabledASCIICapableSources(), std::vector{kFcitx5US});

  desktop_.stopFcitx5();
  EXPECT_EQ(sources_->current(), kIBusRussian);

  desktop_.stopIBus();
  EXPECT_EQ(sources_->current(), kLayoutAlone);
}

TEST_F(FrameworkChoice, FindsARestartedIBus) {
  sources_ = std::make_unique<ActiveInputSources>(desktop_.sessionBus());
  VELLOTYPE_START_OR_SKIP(desktop_, startIBus());
  sources_->current();
  sources_->select(kIBusRussian);
  ASSERT_TRUE(becomes(kIBusRussian));

  desktop_.stopIBus();
  VELLOTYPE_START_OR_SKIP(desktop_, startIBus());
  // A new daemon, with no engine yet, at a new address.
  EXPECT_EQ(sources_->current(), std::nullopt);
  sources_->select(kIBusUS);
  EXPECT_TRUE(becomes(kIBusUS));
}

}  // namespace
}  // namespace vellotype
