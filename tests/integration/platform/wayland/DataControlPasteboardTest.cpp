// The clipboard through data control on a private headless sway, with wl-copy and wl-paste as
// the other applications: what they copied is read, what the program sets is pasted and noticed
// as pasted, its own sets count once, and another application's copy is a change.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <optional>

#include "HeadlessSway.h"
#include "platform/wayland/DataControlPasteboard.h"

namespace vellotype::testing {
namespace {

std::string plainText(const PasteboardContents& contents) {
  for (const auto& [type, bytes] : contents.items) {
    if (type == "text/plain;charset=utf-8") return bytes;
  }
  return "(none)";
}

TEST(DataControlPasteboard, ReadsSetsAndRestoresTheClipboardAndKnowsWhetherItWasPasted) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  HeadlessSway sway;
  if (sway.display().empty()) GTEST_SKIP() << "no sway for this test: " << sway.error();
  std::string error;
  const auto pasteboard = DataControlPasteboard::create(sway.display(), error);
  ASSERT_TRUE(pasteboard) << error;
  const auto serve = [] { QCoreApplication::processEvents(); };
  const auto settled = [&] {
    for (int i = 0; i < 20; ++i) serve();
  };

  ASSERT_TRUE(sway.copy("copied earlier"));
  settled();
  const auto earlier = pasteboard->contents();
  EXPECT_EQ(plainText(earlier), "copied earlier");
  const auto start = pasteboard->changeCount();

  pasteboard->setString("你好 👋\nline two");
  settled();
  EXPECT_EQ(pasteboard->changeCount(), start + 1) << "its own set counts once";
  EXPECT_FALSE(pasteboard->textWasRead());
  EXPECT_EQ(sway.paste(serve), "你好 👋\nline two") << sway.log();
  EXPECT_TRUE(pasteboard->textWasRead());
  EXPECT_EQ(plainText(pasteboard->contents()), "你好 👋\nline two");

  pasteboard->setContents(earlier);
  EXPECT_EQ(sway.paste(serve), "copied earlier") << sway.log();
  EXPECT_FALSE(pasteboard->textWasRead()) << "only setString's text is watched";
  EXPECT_EQ(pasteboard->changeCount(), start + 2);

  ASSERT_TRUE(sway.copy("copied later"));
  settled();
  EXPECT_EQ(pasteboard->changeCount(), start + 3);
  EXPECT_EQ(plainText(pasteboard->contents()), "copied later");
}

}  // namespace
}  // namespace vellotype::testing
