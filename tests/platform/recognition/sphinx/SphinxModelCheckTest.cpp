#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/recognition/sphinx/SphinxModelCheck.h"

namespace vellotype {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SphinxModelCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(root_); }
  void TearDown() override { fs::remove_all(root_); }

  fs::path script(const std::string& body) {
    const auto path = root_ / "checker";
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }

  const fs::path root_ =
      fs::temp_directory_path() / ("vellotype-check-" + std::to_string(std::random_device()()));
  const SphinxModelFiles files_{root_, root_ / "hmm", root_ / "words.dict", root_ / "words.lm"};
};

TEST_F(SphinxModelCheckTest, ACheckerThatCannotStartIsNamedInTheProblem) {
  const auto problem = SphinxModelCheck(root_ / "missing").problem(files_);
  EXPECT_NE(problem.find((root_ / "missing").string() + " could not be started"), std::string::npos)
      << problem;
}

// Far below the sleep, so a checker left running would keep the test for a minute.
TEST_F(SphinxModelCheckTest, ACheckerPastTheTimeLimitIsStoppedAndReported) {
  const SphinxModelCheck check(script("exec sleep 60"), 100ms);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(check.problem(files_), "PocketSphinx took more than 0.1 s to read it");
  EXPECT_LT(std::chrono::steady_clock::now() - before, 30s);
}

}  // namespace
}  // namespace vellotype
