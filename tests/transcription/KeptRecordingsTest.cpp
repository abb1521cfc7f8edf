#include <gmock/gmock.h>
#include <sys/stat.h>

#include <fstream>

#include "fakes/TemporaryFolder.h"
#include "transcription/KeptRecordings.h"

namespace vellotype {
namespace {

mode_t modeOf(const std::filesystem::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 0777;
}

TEST(KeptRecordings, KeepsTheNewestTwentyPrivatelyWithTheirLanguage) {
  TemporaryFolder root;
  KeptRecordings kept(root / "state/Vellotype/recordings");
  EXPECT_EQ(kept.newest(), std::nullopt) << "no folder yet";
  for (int i = 0; i < 22; ++i) ASSERT_TRUE(kept.keep("RIFF" + std::to_string(i), "zh-TW"));
  std::ofstream(kept.folder() / "notes.txt") << "not a recording";
  const auto last = kept.keep("RIFF last", "../../x");
  ASSERT_TRUE(last);

  EXPECT_EQ(modeOf(root / "state"), 0700u);
  EXPECT_EQ(modeOf(kept.folder()), 0700u);
  EXPECT_EQ(modeOf(*last), 0600u);
  EXPECT_EQ(last->parent_path(), kept.folder()) << "a locale cannot lead elsewhere";
  std::vector<std::string> contents;
  for (const auto& entry : std::filesystem::directory_iterator(kept.folder())) {
    if (entry.path().extension() == ".wav")
      contents.push_back(kept.read({entry.path(), ""}).value());
  }
  EXPECT_EQ(contents.size(), KeptRecordings::kLimit);
  EXPECT_THAT(contents, ::testing::Not(::testing::Contains("RIFF2")));
  EXPECT_THAT(contents, ::testing::Contains("RIFF3")) << "the oldest went first";

  auto newest = kept.newest();
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->localeIdentifier, "und");
  EXPECT_EQ(kept.read(*newest), "RIFF last");
  kept.remove(*newest);
  newest = kept.newest();
  EXPECT_EQ(newest->localeIdentifier, "zh-TW");
  EXPECT_EQ(kept.read(*newest), "RIFF21");
}

}  // namespace
}  // namespace vellotype
