#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "refinement/DiagnosticLog.h"

namespace vellotype {
namespace {

class DiagnosticLogTest : public ::testing::Test {
 protected:
  ~DiagnosticLogTest() override { std::filesystem::remove_all(root); }

  std::string read(const std::filesystem::path& file) const {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("vellotype-log-" + std::to_string(getpid()));
};

TEST_F(DiagnosticLogTest, AppendsTimestampedLinesToAPrivateFileInPrivateFolders) {
  const auto file = root / "state" / "deeper" / "Vellotype.log";
  DiagnosticLog log(file);
  log.logToFile("first");
  log.logToFile("");
  log.logToFile("two\nlines \u4e2d\u6587");

  const auto text = read(file);
  EXPECT_THAT(text, ::testing::MatchesRegex(
                        "\\[[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z\\] first\n"
                        "\\[[^]]*\\] \n"
                        "\\[[^]]*\\] two\nlines \u4e2d\u6587\n"));
  struct stat info {};
  ::stat(file.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ::stat((root / "state").c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(DiagnosticLogTest, AFolderThatCannotBeMadeLosesTheLineQuietly) {
  // A file where the folder should be: no one, not even root, can write beneath it.
  std::filesystem::create_directories(root);
  std::ofstream(root / "state") << "not a folder";
  DiagnosticLog log(root / "state" / "Vellotype.log");
  log.logToFile("lost");
  EXPECT_EQ(read(root / "state"), "not a folder");
}

TEST(DiagnosticLogPath, FollowsXDGStateHomeAndIgnoresARelativeOne) {
  ::setenv("XDG_STATE_HOME", "/tmp/state-here", 1);
  EXPECT_EQ(DiagnosticLog::defaultPath(), "/tmp/state-here/Vellotype.log");
  ::setenv("XDG_STATE_HOME", "relative", 1);
  EXPECT_EQ(DiagnosticLog::defaultPath().filename(), "Vellotype.log");
  EXPECT_EQ(DiagnosticLog::defaultPath().parent_path().filename(), "state");
  ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace vellotype
