#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <fstream>
#include <future>
#include <sstream>

#include "fakes/TemporaryFolder.h"
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
  TemporaryFolder root;
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
}

TEST(DiagnosticLogOnlyWritesARegularFile, ALinkIsNotFollowed) {
  TemporaryFolder folder;
  std::ofstream(folder / "elsewhere") << "untouched";
  std::filesystem::create_symlink(folder / "elsewhere", folder / "Vellotype.log");
  DiagnosticLog(folder / "Vellotype.log").logToFile("lost");
  EXPECT_EQ(read(folder / "elsewhere"), "untouched");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "Vellotype.log"));
}

TEST(DiagnosticLogOnlyWritesARegularFile, AFIFOReturnsAtOnceWithOrWithoutAReader) {
  using namespace std::chrono_literals;
  TemporaryFolder folder;
  const auto fifo = folder / "Vellotype.log";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  DiagnosticLog log(fifo);
  auto alone = std::async(std::launch::async, [&] { log.logToFile("lost"); });
  const bool returned = alone.wait_for(5s) == std::future_status::ready;
  // A reader lets a waiting writer go, so that a failure ends the test instead of hanging it.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  alone.wait();
  log.logToFile("lost as well");
  char buffer[64];
  EXPECT_LE(::read(reader, buffer, sizeof buffer), 0) << "nothing was written";
  ::close(reader);
  EXPECT_TRUE(returned);
}

TEST(DiagnosticLogOnlyWritesARegularFile, AnExistingLogBecomesPrivate) {
  TemporaryFolder folder;
  std::ofstream(folder / "Vellotype.log") << "before\n";
  ::chmod((folder / "Vellotype.log").c_str(), 0644);
  DiagnosticLog(folder / "Vellotype.log").logToFile("after");
  EXPECT_EQ(modeOf(folder / "Vellotype.log"), 0600u);
  EXPECT_THAT(read(folder / "Vellotype.log"), ::testing::MatchesRegex("before\n\\[.*\\] after\n"));
}

}  // namespace
}  // namespace vellotype
