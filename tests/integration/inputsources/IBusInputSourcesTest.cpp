#include <gtest/gtest.h>

#include "InputMethodDesktop.h"
#include "InputSourcePrinting.h"
#include "platform/ibus/IBusAddress.h"
#include "platform/ibus/IBusInputSources.h"

namespace vellotype {
namespace {

using namespace std::chrono_literals;
using Desktop = testing::InputMethodDesktop;

const InputSource kUS{"xkb:us::eng", true};
const InputSource kGerman{"xkb:de::ger", true};
const InputSource kRussian{"xkb:ru::rus", false};

class IBusDaemon : public ::testing::Test {
 protected:
  void SetUp() override {
    VELLOTYPE_START_OR_SKIP(desktop_, startSessionBus());
    VELLOTYPE_START_OR_SKIP(desktop_, startIBus());
    address_ = IBusAddress::locate(IBusAddress::Environment::ofThisProcess()).value_or("");
  }

  bool becomes(IBusInputSources& sources, const InputSource& expected) {
    return Desktop::waitUntil([&] { return sources.current() == expected; }, 5s);
  }

  Desktop desktop_;
  std::string address_;
  LatinLayouts latinLayouts_;
};

TEST_F(IBusDaemon, CurrentListSelectAndSelectBack) {
  IBusInputSources sources(address_, latinLayouts_);
  ASSERT_TRUE(sources.isConnected());
  // No panel has given the daemon an engine yet.
  EXPECT_EQ(sources.current(), std::nullopt);
  // Nothing chosen yet is what IBus's panel runs as US English.
  EXPECT_EQ(sources.enabledASCIICapableSources(), std::vector{kUS});

  ASSERT_TRUE(
      desktop_.setIBusPreloadEngines({"xkb:ru::rus", "xkb:de::ger", "pinyin", "xkb:us::eng"}))
      << desktop_.error();
  EXPECT_EQ(sources.enabledASCIICapableSources(), (std::vector{kGerman, kUS}));

  sources.select(kRussian);
  EXPECT_TRUE(becomes(sources, kRussian));
  sources.select(kUS);
  EXPECT_TRUE(becomes(sources, kUS));
  sources.select(kRussian);
  EXPECT_TRUE(becomes(sources, kRussian));
}

TEST_F(IBusDaemon, AHungDaemonCostsAMomentNotAStall) {
  IBusInputSources sources(address_, latinLayouts_);
  sources.select(kRussian);
  ASSERT_TRUE(becomes(sources, kRussian));

  desktop_.freezeIBus();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sources.current(), std::nullopt);
  sources.select(kUS);
  IBusInputSources latecomer(address_, latinLayouts_);
  EXPECT_FALSE(latecomer.isConnected());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
  desktop_.thawIBus();

  EXPECT_TRUE(becomes(sources, kUS));
}

TEST_F(IBusDaemon, TellsWhenTheDaemonHasGone) {
  IBusInputSources sources(address_, latinLayouts_);
  ASSERT_TRUE(sources.isConnected());
  desktop_.stopIBus();
  EXPECT_TRUE(Desktop::waitUntil([&] { return !sources.isConnected(); }, 5s));
  EXPECT_EQ(sources.current(), std::nullopt);
  EXPECT_EQ(IBusAddress::locate(IBusAddress::Environment::ofThisProcess()), std::nullopt);
}

}  // namespace
}  // namespace vellotype
