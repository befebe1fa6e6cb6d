#include "shell/settings_path.h"

#include <gtest/gtest.h>

#include <string>

static std::string derive(std::string path) {
  char buffer[settingsPathSize] = {};
  path.copy(buffer, settingsPathSize - 1);
  settingsPathFromModulePath(buffer);
  return buffer;
}

TEST(SettingsPath, ExeBecomesIniInTheSameFolder) {
  EXPECT_EQ(derive("C:\\Program Files\\MoodRelayer\\MoodRelayer.exe"),
            "C:\\Program Files\\MoodRelayer\\MoodRelayer.ini");
  EXPECT_EQ(derive("Z:\\tmp\\run 1\\prog.EXE"), "Z:\\tmp\\run 1\\prog.ini");
}

TEST(SettingsPath, LastThreeCharactersAreReplacedEvenWithoutExtension) {
  EXPECT_EQ(derive("C:\\tools\\relayer"), "C:\\tools\\relaini");
  EXPECT_EQ(derive("C:\\a.b\\x.e"), "C:\\a.b\\ini");
}

TEST(SettingsPath, PathOfTheFullLengthStaysTerminatedInItsBuffer) {
  std::string path = "C:\\" + std::string(252, 'd') + ".exe";
  ASSERT_EQ(path.size(), 259u);
  char buffer[settingsPathSize + 1];
  buffer[settingsPathSize] = '#';  // guard byte just past the path buffer
  path.copy(buffer, 259);
  buffer[259] = 0;
  settingsPathFromModulePath(buffer);
  EXPECT_EQ(std::string(buffer), path.substr(0, 256) + "ini");
  EXPECT_EQ(buffer[259], 0);
  EXPECT_EQ(buffer[settingsPathSize], '#');
}

TEST(SettingsPath, TooShortPathIsLeftAlone) {
  EXPECT_EQ(derive("ab"), "ab");
  EXPECT_EQ(derive(""), "");
  EXPECT_EQ(derive("abc"), "ini");
}
