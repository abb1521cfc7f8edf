// Runs the clipboard tests inside one QGuiApplication on Qt's xcb platform, connected to a
// private Xvfb display that the editor process the tests start shares through $DISPLAY.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <optional>

#include "XvfbServer.h"

int main(int argc, char* argv[]) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  vellotype::testing::XvfbServer xvfb;
  if (xvfb.display().empty()) {
    qputenv("VELLOTYPE_TEST_NO_X", xvfb.error().c_str());
    qputenv("QT_QPA_PLATFORM", "offscreen");
  } else {
    qputenv("DISPLAY", xvfb.display().c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  std::optional<QGuiApplication> application;
  application.emplace(argc, argv);
  const int result = RUN_ALL_TESTS();
  // The X connection goes before the server does.
  application.reset();
  return result;
}
