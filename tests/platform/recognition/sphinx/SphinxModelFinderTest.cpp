#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/recognition/sphinx/SphinxModelFinder.h"

namespace vellotype {
namespace {

namespace fs = std::filesystem;

class SphinxModelFinderTest : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(root_); }

  void files(std::initializer_list<const char*> relatives, std::size_t bytes = 1) {
    for (const fs::path relative : relatives) {
      fs::create_directories((root_ / relative).parent_path());
      std::ofstream(root_ / relative) << std::string(bytes, 'x');
    }
  }

  const fs::path root_ =
      fs::temp_directory_path() / ("vellotype-models-" + std::to_string(std::random_device()()));
};

// Debian's pocketsphinx-en-us has a small phone-loop model beside the real one.
TEST_F(SphinxModelFinderTest, AFolderWithAllThreePartsIsAModelAndTheRealLanguageModelWins) {
  files({"en/en-us/mdef", "en/a/means", "en/cmudict-en-us.dict", "en/en-us-phone.lm.bin"});
  files({"en/en-us.lm.bin", "en/readme.txt"}, 1000);
  const auto found = SphinxModelFinder::inFolder(root_ / "en");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->acousticModel, root_ / "en/en-us");
  EXPECT_EQ(found->dictionary, root_ / "en/cmudict-en-us.dict");
  EXPECT_EQ(found->languageModel, root_ / "en/en-us.lm.bin");
  files({"de/voxforge/mdef", "de/words.DIC", "de/de.lm.DMP"});
  EXPECT_EQ(SphinxModelFinder::inFolder(root_ / "de")->languageModel, root_ / "de/de.lm.DMP");
}

TEST_F(SphinxModelFinderTest, AFolderMissingAnyPartIsNoModel) {
  files({"no-hmm/x.dict", "no-hmm/x.lm.bin", "no-hmm/hmm/means", "no-dict/hmm/mdef"});
  files({"no-dict/x.lm.bin", "no-lm/hmm/mdef", "no-lm/x.dict", "no-lm/x.lm.gz"});
  for (const char* folder : {"no-hmm", "no-dict", "no-lm", "missing"}) {
    EXPECT_FALSE(SphinxModelFinder::inFolder(root_ / folder)) << folder;
  }
}

TEST_F(SphinxModelFinderTest, TheUserFolderComesFirstAndOnlyListedLocalesHaveASystemModel) {
  files({"system/hmm/mdef", "system/x.dict", "system/x.lm.bin"});
  const SphinxModelFinder finder(root_ / "user", {{"en-US", root_ / "system"}});
  EXPECT_EQ(finder.find("en-US")->folder, root_ / "system");
  EXPECT_FALSE(finder.find("de-DE"));
  files({"user/en-US/partial.dict"});  // incomplete: the system model still serves
  EXPECT_EQ(finder.find("en-US")->folder, root_ / "system");
  files({"user/en-US/hmm/mdef", "user/en-US/x.lm.bin"});
  EXPECT_EQ(finder.find("en-US")->folder, root_ / "user/en-US");
  for (const char* locale : {"../system", "de-DE/../../system", ""}) {
    EXPECT_FALSE(finder.find(locale)) << "a locale must not name a folder outside the root";
  }
}

TEST(SphinxModelFinderRoot, FollowsTheXdgDataHomeRules) {
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot("/data", "/home/u"), "/data/Vellotype/models");
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot("relative", "/home/u"),
            "/home/u/.local/share/Vellotype/models");
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot(nullptr, nullptr), fs::path());
}

}  // namespace
}  // namespace vellotype
