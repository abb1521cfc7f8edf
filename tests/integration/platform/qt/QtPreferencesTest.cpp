#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

#include "hotkey/TriggerKeyPreferences.h"
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

  // Edited by hand.
  QFile file(reader.fileName());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(
      "[General]\nllmEnabled=maybe\ntriggerKeyKind=keyCode\ntriggerKeyCode=12abc\nllmModel=a, b\n");
  file.close();
  QtPreferences edited;
  EXPECT_EQ(edited.boolValue("llmEnabled"), std::nullopt);
  EXPECT_EQ(edited.integerValue("triggerKeyCode"), std::nullopt);
  EXPECT_EQ(TriggerKeyPreferences::load(edited), TriggerKey::defaultKey())
      << "not the A key, code 0";
  EXPECT_EQ(edited.stringValue("llmModel"), "a,b");
}

}  // namespace
}  // namespace vellotype
