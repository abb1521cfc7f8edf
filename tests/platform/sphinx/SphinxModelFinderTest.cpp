#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "platform/sphinx/SphinxModelFinder.h"

namespace vellotype {
namespace {

namespace fs = std::filesystem;

class SphinxModelFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("vellotype-models-" + std::to_string(std::random_device()()));
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path file(const fs::path& relative, std::size_t bytes = 1) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << std::string(bytes, 'x');
    return root_ / relative;
  }

  // The layout of Debian's pocketsphinx-en-us.
  fs::path debianLike(const fs::path& folder) {
    file(folder / "en-us" / "mdef");
    file(folder / "en-us" / "means");
    file(folder / "cmudict-en-us.dict");
    file(folder / "en-us-phone.lm.bin", 100);
    file(folder / "en-us.lm.bin", 1000);
    return root_ / folder;
  }

  fs::path root_;
};

TEST_F(SphinxModelFinderTest, AFolderWithAllThreePartsIsAModelAndTheRealLanguageModelWins) {
  const auto folder = debianLike("system");
  const auto files = SphinxModelFinder::inFolder(folder);
  ASSERT_TRUE(files);
  EXPECT_EQ(files->folder, folder);
  EXPECT_EQ(files->acousticModel, folder / "en-us");
  EXPECT_EQ(files->dictionary, folder / "cmudict-en-us.dict");
  EXPECT_EQ(files->languageModel, folder / "en-us.lm.bin") << "not the smaller phone-loop model";
}

TEST_F(SphinxModelFinderTest, OtherSpellingsOfEachPartAreAccepted) {
  file("de/voxforge/mdef");
  file("de/other/means");  // a subfolder without mdef is not an acoustic model
  file("de/words.DIC");
  file("de/de.lm.DMP");
  file("de/readme.txt", 5000);
  const auto files = SphinxModelFinder::inFolder(root_ / "de");
  ASSERT_TRUE(files);
  EXPECT_EQ(files->acousticModel, root_ / "de/voxforge");
  EXPECT_EQ(files->dictionary, root_ / "de/words.DIC");
  EXPECT_EQ(files->languageModel, root_ / "de/de.lm.DMP");

  file("fr/b/mdef");
  file("fr/a/mdef");
  file("fr/fr.dic");
  file("fr/fr.lm");
  EXPECT_EQ(SphinxModelFinder::inFolder(root_ / "fr").value().acousticModel, root_ / "fr/a");
}

TEST_F(SphinxModelFinderTest, AFolderMissingAnyPartIsNoModel) {
  file("no-acoustic/x.dict");
  file("no-acoustic/x.lm.bin");
  file("no-acoustic/hmm/means");
  file("no-dictionary/hmm/mdef");
  file("no-dictionary/x.lm.bin");
  file("no-language-model/hmm/mdef");
  file("no-language-model/x.dict");
  file("no-language-model/x.lm.bin.gz");
  for (const char* folder : {"no-acoustic", "no-dictionary", "no-language-model", "missing"}) {
    EXPECT_FALSE(SphinxModelFinder::inFolder(root_ / folder)) << folder;
  }
}

TEST_F(SphinxModelFinderTest, TheUserFolderComesFirstAndOnlyListedLocalesHaveASystemModel) {
  const auto system = debianLike("system");
  const SphinxModelFinder finder(root_ / "user", {{"en-US", system}});
  EXPECT_EQ(finder.find("en-US")->folder, system);
  EXPECT_FALSE(finder.find("de-DE"));

  file("user/en-US/partial.dict");  // incomplete: the system model still serves
  EXPECT_EQ(finder.find("en-US")->folder, system);
  debianLike("user/en-US");
  debianLike("user/de-DE");
  EXPECT_EQ(finder.find("en-US")->folder, root_ / "user/en-US");
  EXPECT_EQ(finder.find("de-DE")->folder, root_ / "user/de-DE");
  // A locale names a folder, but never one outside the root.
  for (const char* locale : {"../system", "de-DE/../../system", "..", "", "de-DE/"}) {
    EXPECT_FALSE(finder.find(locale)) << locale;
  }
}

TEST(SphinxModelFinderRoot, FollowsTheXdgDataHomeRules) {
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot("/data", "/home/u"), "/data/Vellotype/models");
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot(nullptr, "/home/u"),
            "/home/u/.local/share/Vellotype/models");
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot("relative", "/home/u"),
            "/home/u/.local/share/Vellotype/models");
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot("", "/home/u"),
            "/home/u/.local/share/Vellotype/models");
  EXPECT_EQ(SphinxModelFinder::defaultUserRoot(nullptr, nullptr), fs::path());
}

}  // namespace
}  // namespace vellotype
