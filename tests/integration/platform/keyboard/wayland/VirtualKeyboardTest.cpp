// The paste keystroke through a virtual keyboard on a private headless sway. The focused window
// is the test editor on Qt's native Wayland platform, and wl-copy sets the clipboard as another
// application would.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <wayland-server.h>

#include <optional>
#include <string>
#include <thread>

#include "ClientOutput.h"
#include "HeadlessSway.h"
#include "platform/keyboard/wayland/VirtualKeyboardEvents.h"
#include "values/ModifierFlags.h"

namespace vellotype::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

// Canonical (macOS) key codes and flags.
constexpr std::uint16_t kV = 9, kX = 7;
using modifiers::kControl;
using modifiers::kShift;
const std::string kText = "你好，世界 🎉\nsecond line";

class VirtualKeyboardPaste : public ::testing::Test {
 protected:
  // `layout`: the user's keyboard layout.
  explicit VirtualKeyboardPaste(std::string layout = "us") : layout_(std::move(layout)) {}

  void SetUp() override {
    sway.emplace(layout_);
    if (sway->display().empty()) GTEST_SKIP() << "no sway for this test: " << sway->error();
    editor = sway->startEditor(VELLOTYPE_TEST_EDITOR);
    ASSERT_TRUE(editor) << "the editor did not take the focus: " << sway->log();
    ASSERT_TRUE(sway->copy(kText)) << sway->log();
    std::string error;
    events = VirtualKeyboardEvents::create(sway->display(), error);
    ASSERT_TRUE(events) << error;
    events->onFailure = [](const std::string& reason) { ADD_FAILURE() << reason; };
  }

  // Waits for the editor to show `text`; false, with what it shows, when it does not.
  ::testing::AssertionResult shows(const std::string& text) {
    if (editor->waitFor([&](const auto& line) { return line == ClientOutput::hex(text); })) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "the editor shows " << editor->last() << ", not " << ClientOutput::hex(text) << "\n"
           << sway->log();
  }

  const std::string layout_;
  std::optional<HeadlessSway> sway;
  std::unique_ptr<ClientOutput> editor;
  std::unique_ptr<VirtualKeyboardEvents> events;
};

// Each key typed after the paste lands behind it, so a second paste, a lost first one or a
// modifier left down would all show in the final text.
TEST_F(VirtualKeyboardPaste, FirstChordOfANewKeyboardPastesOnceWithExactlyItsModifiers) {
  events->postKeyChord(kV, kControl);
  events->postKeyChord(kX, kShift);
  events->postKeyChord(kX, 0);
  EXPECT_TRUE(shows(kText + "Xx"));
}

// The user types on a Russian keyboard, where the key at V types "м" and none types "v".
class VirtualKeyboardPasteOnRussianSeat : public VirtualKeyboardPaste {
 protected:
  VirtualKeyboardPasteOnRussianSeat() : VirtualKeyboardPaste("ru") {}
};

TEST_F(VirtualKeyboardPasteOnRussianSeat, RightAfterTheUsersOwnKeyStillPastes) {
  sway->keyboard().postKeyChord(kX, 0);
  events->postKeyChord(kV, kControl);
  events->postKeyChord(kX, 0);
  EXPECT_TRUE(shows("ч" + kText + "x"));
}

// A compositor with a seat and nothing else, as one that offers no virtual keyboard (GNOME, KDE).
class BareCompositor {
 public:
  BareCompositor() {
    wl_display_add_socket(display_, path.c_str());
    wl_global_create(display_, &wl_seat_interface, 1, nullptr,
                     [](wl_client* client, void*, std::uint32_t version, std::uint32_t id) {
                       wl_resource_create(client, &wl_seat_interface, int(version), id);
                     });
    thread_ = std::thread([this] { wl_display_run(display_); });
  }
  ~BareCompositor() {
    wl_display_terminate(display_);
    thread_.join();
    wl_display_destroy(display_);
  }

  const std::string path = "/tmp/vellotype-bare-wayland-" + std::to_string(getpid());

 private:
  wl_display* display_ = wl_display_create();
  std::thread thread_;
};

TEST(VirtualKeyboardAvailability, ACompositorWithoutVirtualKeyboardsGivesNone) {
  std::string error;
  EXPECT_FALSE(VirtualKeyboardEvents::create("/nonexistent/wayland-0", error));
  EXPECT_EQ(error, "no Wayland compositor answers at /nonexistent/wayland-0");
  BareCompositor bare;
  EXPECT_FALSE(VirtualKeyboardEvents::create(bare.path, error));
  EXPECT_EQ(error, "the Wayland compositor offers no virtual keyboard");
}

// Sway gone, as when the session ends or the compositor crashed and came back elsewhere.
TEST_F(VirtualKeyboardPaste, AChordWithoutTheCompositorIsReported) {
  const auto display = sway->display();
  std::vector<std::string> reasons;
  events->onFailure = [&](const std::string& reason) { reasons.push_back(reason); };
  sway.reset();
  events->postKeyChord(kV, kControl);
  events->postKeyChord(kV, kControl);
  EXPECT_THAT(reasons, ElementsAre(StartsWith("The paste keystroke could not be sent: the "
                                              "connection to the Wayland compositor broke: "),
                                   "The paste keystroke could not be sent: no Wayland compositor "
                                   "answers at " +
                                       display));
}

}  // namespace
}  // namespace vellotype::testing
