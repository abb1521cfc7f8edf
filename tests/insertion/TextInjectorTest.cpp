#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/CallLog.h"
#include "fakes/FakeInputSources.h"
#include "fakes/FakeKeyboardEvents.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakePasteboard.h"
#include "insertion/TextInjector.h"

namespace vellotype {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const InputSource kPinyin{"pinyin", false};
const InputSource kGerman{"xkb:de::ger", true};
const InputSource kUS{"xkb:us::eng", true};
const InputSource kABC{"com.apple.keylayout.ABC", true};
const PasteboardContents kUserText{{{"text/plain", "user text"}}};
const PasteboardContents kUserImage{{{"image/png", std::string("\x89PNG\0data", 9)}}};

class TextInjectorTest : public ::testing::Test {
 protected:
  TextInjectorTest() { pasteboard.copy(kUserText); }

  // The calls at each moment, as "time: call" with the time in milliseconds.
  std::vector<std::string> timeline() const {
    std::vector<std::string> lines;
    for (const auto& e : log.entries()) {
      lines.push_back(std::to_string(e.time.count() / 1000000) + ": " + e.call);
    }
    return lines;
  }

  FakeMainQueue queue;
  CallLog log{queue};
  FakePasteboard pasteboard{log};
  FakeInputSources sources{log};
  FakeKeyboardEvents keyboard{log};
  std::shared_ptr<TextInjector> injector =
      std::make_shared<TextInjector>(pasteboard, sources, keyboard, queue);
};

TEST_F(TextInjectorTest, EmptyTextTouchesNothing) {
  sources.currentSource = kPinyin;
  injector->inject("");
  queue.runUntilIdle();
  EXPECT_THAT(log.calls(), IsEmpty());
  EXPECT_EQ(pasteboard.held, kUserText);
}

TEST_F(TextInjectorTest, LatinLayoutPastesWithoutSwitchingAndRestoresTheClipboardAtHalfASecond) {
  sources.currentSource = kGerman;
  sources.latin = {{kGerman, kUS}};
  injector->inject("hello");
  queue.advanceBy(0.499);
  EXPECT_EQ(pasteboard.held.items.at(0).second, "hello");
  queue.runUntilIdle();
  EXPECT_THAT(timeline(), ElementsAre("0: pasteboard: set hello", "0: keyboard: chord 9 40000",
                                      "500: pasteboard: restore"));
  EXPECT_EQ(pasteboard.held, kUserText);
}

TEST_F(TextInjectorTest, InputMethodSwitchesToTheFirstDesignatedLayoutForThePaste) {
  sources.currentSource = kPinyin;
  sources.latin = {{kGerman, kUS, kABC}};
  injector->inject("hello");
  queue.runUntilIdle();
  EXPECT_THAT(timeline(),
              ElementsAre("0: pasteboard: set hello",
                          "0: inputSource: select "
                          "xkb:us::eng",
                          "50: keyboard: chord 9 40000", "350: inputSource: select pinyin",
                          "550: pasteboard: restore"));
}

TEST_F(TextInjectorTest, WithoutDesignatedLayoutTheFirstLatinOneServesAndWithoutAnyNoneDoes) {
  sources.currentSource = kPinyin;
  sources.latin = {{kGerman, {"xkb:fr::fra", true}}};
  injector->inject("one");
  queue.runUntilIdle();
  EXPECT_EQ(log.count("inputSource: select xkb:de::ger"), 1u);

  log.clear();
  sources.currentSource = kPinyin;
  sources.latin = std::vector<InputSource>{};
  injector->inject("two");
  queue.runUntilIdle();
  // Pasted anyway, no pause, and the input method is selected again as if it had been left.
  EXPECT_THAT(timeline(),
              ElementsAre("550: pasteboard: set two", "550: keyboard: chord 9 40000",
                          "850: inputSource: select pinyin", "1050: pasteboard: restore"));

  log.clear();
  sources.currentSource.reset();  // no current source: nothing to switch from or back to
  injector->inject("three");
  queue.runUntilIdle();
  EXPECT_EQ(log.count("inputSource: select pinyin"), 0u);
}

TEST_F(TextInjectorTest, EveryFormatComesBackAndAnEmptyClipboardEndsEmpty) {
  pasteboard.copy(kUserImage);
  injector->inject("hello");
  queue.runUntilIdle();
  EXPECT_EQ(pasteboard.held, kUserImage);

  pasteboard.copy({});
  injector->inject("hello");
  queue.runUntilIdle();
  EXPECT_EQ(pasteboard.held, PasteboardContents{});
}

TEST_F(TextInjectorTest, ACopyMadeBeforeTheRestoreIsLeftAlone) {
  injector->inject("hello");
  queue.advanceBy(0.3);
  const PasteboardContents userCopy{{{"text/plain", "copied meanwhile"}}};
  pasteboard.copy(userCopy);
  queue.runUntilIdle();
  EXPECT_EQ(pasteboard.held, userCopy);
  EXPECT_EQ(log.count("pasteboard: restore"), 0u);
}

TEST_F(TextInjectorTest, OverlappingInjectionsGiveBackTheUsersOwnClipboard) {
  pasteboard.copy(kUserImage);
  injector->inject("first");
  queue.advanceBy(0.2);
  injector->inject("second");
  queue.advanceBy(0.3);
  EXPECT_EQ(pasteboard.held.items.at(0).second, "second") << "the first restore stands aside";
  queue.runUntilIdle();
  EXPECT_EQ(pasteboard.held, kUserImage);
  EXPECT_EQ(log.count("pasteboard: restore"), 1u);
}

TEST_F(TextInjectorTest, TerminalsGetControlShiftV) {
  keyboard.focusedClasses = {"xterm", "xterm"};
  injector->inject("ls");
  keyboard.focusedClasses = {"kitty"};
  injector->inject("ls");
  keyboard.focusedClasses = {"firefox-esr", "firefox-esr"};
  injector->inject("ls");
  EXPECT_THAT(log.callsSince(0), ::testing::Contains("keyboard: chord 9 60000").Times(2));
  EXPECT_EQ(log.count("keyboard: chord 9 40000"), 1u);
}

}  // namespace
}  // namespace vellotype
