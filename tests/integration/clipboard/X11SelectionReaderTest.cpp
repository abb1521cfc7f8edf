#include <gtest/gtest.h>

#include <QByteArray>
#include <chrono>

#include "ClipboardTestData.h"
#include "RawSelectionOwner.h"
#include "platform/x11/X11SelectionReader.h"

namespace vellotype::testing {
namespace {

using Clock = std::chrono::steady_clock;

class X11SelectionReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsSet("VELLOTYPE_TEST_NO_X")) {
      GTEST_SKIP() << "no X server: " << qgetenv("VELLOTYPE_TEST_NO_X").toStdString();
    }
  }

  static std::string display() { return qgetenv("DISPLAY").toStdString(); }
  // Ample: these tests are about what arrives, not how fast.
  static Clock::time_point deadline() { return Clock::now() + std::chrono::seconds(5); }
};

TEST_F(X11SelectionReaderTest, LargeImageArrivesWholeInIncrChunks) {
  const auto image = imageBytes(6 * 1024 * 1024 + 123);
  RawSelectionOwner owner(display(), {{"image/png", image}, {"UTF8_STRING", "caption"}});
  ASSERT_TRUE(owner.owns());
  X11SelectionReader reader(display());
  EXPECT_EQ(reader.read(deadline()),
            (PasteboardContents{{{"text/plain", "caption"}, {"image/png", image}}}));
}

TEST_F(X11SelectionReaderTest, FormatOverTheSizeLimitIsLeftOutAndTheRestStillRead) {
  const auto png = imageBytes(2 * 1024 * 1024);
  const auto bmp = imageBytes(300 * 1024);
  RawSelectionOwner owner(display(),
                          {{"image/png", png}, {"image/bmp", bmp}, {"UTF8_STRING", "caption"}});
  ASSERT_TRUE(owner.owns());
  X11SelectionReader reader(display(), 1024 * 1024);
  const PasteboardContents expected{{{"text/plain", "caption"}, {"image/bmp", bmp}}};
  EXPECT_EQ(reader.read(deadline()), expected);
}

TEST_F(X11SelectionReaderTest, OnePictureIsReadOnceThoughOfferedInSeveralEncodings) {
  const auto png = imageBytes(4096);
  RawSelectionOwner owner(display(), {{"image/bmp", imageBytes(8192)},
                                      {"image/png", png},
                                      {"image/jpeg", imageBytes(2048)},
                                      {"text/html", "<img>"}});
  ASSERT_TRUE(owner.owns());
  X11SelectionReader reader(display());
  const PasteboardContents expected{{{"text/html", "<img>"}, {"image/png", png}}};
  EXPECT_EQ(reader.read(deadline()), expected);
}

TEST_F(X11SelectionReaderTest, StringIsReadAsLatin1WhenNoUtf8IsOffered) {
  RawSelectionOwner owner(display(), {{"STRING", "caf\xE9"}});
  ASSERT_TRUE(owner.owns());
  X11SelectionReader reader(display());
  EXPECT_EQ(reader.read(deadline()), (PasteboardContents{{{"text/plain", "café"}}}));
}

}  // namespace
}  // namespace vellotype::testing
