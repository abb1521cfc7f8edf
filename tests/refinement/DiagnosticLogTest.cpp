#include <gmock/gmock.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "refinement/DiagnosticLog.h"

namespace vellotype {
namespace {

std::string read(const std::filesystem::path& file) {
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  return text.str();
}

mode_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 0777;
}

TEST(DiagnosticLog, AppendsTimestampedLinesToAPrivateFileInPrivateFoldersOrLosesThemQuietly) {
  const auto root =
      std::filesystem::temp_directory_path() / ("vellotype-log-" + std::to_string(getpid()));
  const auto file = root / "state" / "deeper" / "Vellotype.log";
  DiagnosticLog log(file);
  log.logToFile("first");
  log.logToFile("");
  log.logToFile("two\nlines \u4e2d\u6587");
  EXPECT_THAT(read(file), ::testing::MatchesRegex(
                              "\\[[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z\\] first\n"
                              "\\[[^]]*\\] \n"
                              "\\[[^]]*\\] two\nlines \u4e2d\u6587\n"));
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(modeOf(root / "state"), 0700u);

  // A file where the folder should be: no one, not even root, can write beneath it.
  std::ofstream(root / "blocked") << "not a folder";
  DiagnosticLog(root / "blocked" / "Vellotype.log").logToFile("lost");
  EXPECT_EQ(read(root / "blocked"), "not a folder");
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace vellotype
