#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "platform/qt/QtPreferences.h"

namespace vellotype {
namespace {

mode_t modeOf(const QString& path) {
  struct stat info {};
  ::stat(path.toLocal8Bit().constData(), &info);
  return info.st_mode & 0777;
}

TEST(QtPreferences, EveryValueIsOnDiskAtOnceAndPrivate) {
  const std::string tricky = "sk-\"a\",b;c=d \u4e2d\u6587 \\n";
  {
    QtPreferences writer;
    writer.setBool("llmEnabled", true);
    writer.setInteger("triggerKeyCode", 61);
    writer.setString("llmAPIKey", tricky);
    writer.setString("selectedLocaleCode", "");
    writer.setString("gone", "x");
    writer.remove("gone");
    EXPECT_EQ(writer.fileName(), qgetenv("XDG_CONFIG_HOME") + "/Vellotype/Vellotype.conf");
    EXPECT_EQ(modeOf(writer.fileName()), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(writer.fileName()).absolutePath()), 0700u);
  }
  QtPreferences reader;  // a later launch
  EXPECT_EQ(reader.boolValue("llmEnabled"), true);
  EXPECT_EQ(reader.integerValue("triggerKeyCode"), 61);
  EXPECT_EQ(reader.stringValue("llmAPIKey"), tricky);
  EXPECT_EQ(reader.stringValue("selectedLocaleCode"), "");
  EXPECT_EQ(reader.stringValue("gone"), std::nullopt);
  EXPECT_EQ(reader.boolValue("absent"), std::nullopt);
}

TEST(QtPreferences, HandEditedValuesReadSafely) {
  const auto fileName = QtPreferences().fileName();
  QFile file(fileName);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(
      "[General]\nllmEnabled=maybe\ntriggerKeyCode=12abc\nllmModel=a, b\nllmAPIBaseURL=\n"
      "triggerKeyKind=modifier\n");
  file.close();

  QtPreferences preferences;
  EXPECT_EQ(preferences.boolValue("llmEnabled"), std::nullopt);
  EXPECT_EQ(preferences.integerValue("triggerKeyCode"), std::nullopt);
  EXPECT_EQ(preferences.stringValue("llmModel"), "a,b");
  EXPECT_EQ(preferences.stringValue("llmAPIBaseURL"), "");
  EXPECT_EQ(preferences.stringValue("triggerKeyKind"), "modifier");
}

}  // namespace
}  // namespace vellotype
