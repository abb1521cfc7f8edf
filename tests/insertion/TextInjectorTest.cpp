#include <gmock/gmock.h>

#include "fakes/CallLog.h"
#include "fakes/FakeInputSources.h"
#include "fakes/FakeKeyboardEvents.h"
#include "fakes/FakeMainQueue.h"
#include "fakes/FakePasteboard.h"
#include "insertion/TextInjector.h"

namespace vellotype {
namespace {

const InputSource kPinyin{"pinyin", false};
const InputSource kGerman{"xkb:de::ger", true};
const PasteboardContents kUserText{{{"text/plain", "user text"}}};
const PasteboardContents kUserImage{{{"image/png", std::string("\x89PNG\0data", 9)}}};

class TextInjectorTest : public ::testing::Test {
 protected:
  TextInjectorTest() { pasteboard.copy(kUserText); }

  FakeMainQueue queue;
  CallLog log{queue};
  FakePasteboard pasteboard{log};
  FakeInputSources sources{log};
  FakeKeyboardEvents keyboard{log};
  std::shared_ptr<TextInjector> injector =
      std::make_shared<TextInjector>(pasteboard, sources, keyboard, queue);
};

// Each step, in milliseconds from the call, and the user's clipboard back at the end.
TEST_F(TextInjectorTest, AnInputMethodIsSwitchedToALatinLayoutOnlyForThePaste) {
  const InputSource us{"xkb:us::eng", true}, abc{"com.apple.keylayout.ABC", true};
  const std::string paste = "keyboard: chord 9 40000";
  // clang-format off
  const struct {
    InputSource current;
    std::optional<std::vector<InputSource>> latin;
    std::string text;
    std::vector<std::string> timeline;
  } rows[] = {
      {kPinyin, {{kGerman, us}}, "", {}},
      {kGerman, {{kGerman, us}}, "hi", {"0 pasteboard: set hi", "0 " + paste, "500 pasteboard: restore"}},
      // A designated layout first, else the first Latin one.
      {kPinyin, {{kGerman, us, abc}}, "hi", {"0 pasteboard: set hi", "0 inputSource: select xkb:us::eng",
          "50 " + paste, "350 inputSource: select pinyin", "550 pasteboard: restore"}},
      {kPinyin, {{kGerman, {"xkb:fr::fra", true}}}, "hi", {"0 pasteboard: set hi",
          "0 inputSource: select xkb:de::ger", "50 " + paste, "350 inputSource: select pinyin",
          "550 pasteboard: restore"}},
      // None at all: pasted anyway, and the input method selected again as if it had been left.
      {kPinyin, std::vector<InputSource>{}, "hi", {"0 pasteboard: set hi", "0 " + paste,
          "300 inputSource: select pinyin", "500 pasteboard: restore"}},
  };
  // clang-format on
  for (const auto& r : rows) {
    sources.currentSource = r.current;
    sources.latin = r.latin;
    log.clear();
    const auto start = queue.now();
    injector->inject(r.text);
    queue.runUntilIdle();
    std::vector<std::string> timeline;
    for (const auto& [time, call] : log.entries()) {
      timeline.push_back(std::to_string((time - start).count() / 1000000) + " " + call);
    }
    EXPECT_EQ(timeline, r.timeline);
    EXPECT_EQ(pasteboard.held, kUserText);
  }
}

TEST_F(TextInjectorTest, EveryFormatComesBackAndAnEmptyClipboardEndsEmpty) {
  for (const auto& before : {kUserImage, PasteboardContents{}}) {
    pasteboard.copy(before);
    injector->inject("hello");
    queue.runUntilIdle();
    EXPECT_EQ(pasteboard.held, before);
  }
}

TEST_F(TextInjectorTest, ACopyMadeBeforeTheRestoreIsLeftAlone) {
  injector->inject("hello");
  queue.advanceBy(0.3);
  const PasteboardContents userCopy{{{"text/plain", "copied meanwhile"}}};
  pasteboard.copy(userCopy);
  queue.runUntilIdle();
  EXPECT_EQ(pasteboard.held, userCopy);
}

// The focus on the desktop, or a window that ignores the keystroke: the words stay.
TEST_F(TextInjectorTest, TextNoApplicationReadIsLeftOnTheClipboardAndSaidSo) {
  int notPasted = 0;
  injector->onNotPasted = [&] { ++notPasted; };
  pasteboard.pasted = false;
  injector->inject("my words");
  queue.runUntilIdle();
  EXPECT_EQ(pasteboard.held, (PasteboardContents{{{"text/plain", "my words"}}}));
  EXPECT_EQ(notPasted, 1);
  pasteboard.pasted = true;
  injector->inject("pasted words");
  queue.runUntilIdle();
  EXPECT_EQ(pasteboard.held.items.at(0).second, "my words") << "what was on it before comes back";
  EXPECT_EQ(notPasted, 1);
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
  for (const auto& classes :
       {std::vector<std::string>{"xterm", "xterm"}, {"kitty"}, {"firefox-esr"}}) {
    keyboard.focusedClasses = classes;
    injector->inject("ls");
  }
  EXPECT_EQ(log.count("keyboard: chord 9 60000"), 2u);
  EXPECT_EQ(log.count("keyboard: chord 9 40000"), 1u);
}

}  // namespace
}  // namespace vellotype
