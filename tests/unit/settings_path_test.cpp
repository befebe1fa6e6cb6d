#include "shell/settings_path.h"

#include <gtest/gtest.h>

#include <string>

static std::wstring derive(std::wstring path) {
  wchar_t buffer[settingsPathSize] = {};
  path.copy(buffer, settingsPathSize - 1);
  settingsPathFromModulePath(buffer);
  return buffer;
}

TEST(SettingsPath, ExeBecomesIniInTheSameFolder) {
  EXPECT_EQ(derive(L"C:\\Program Files\\MoodRelayer\\MoodRelayer.exe"),
            L"C:\\Program Files\\MoodRelayer\\MoodRelayer.ini");
  EXPECT_EQ(derive(L"Z:\\tmp\\run 1\\prog.EXE"), L"Z:\\tmp\\run 1\\prog.ini");
  // a Japanese user name on a Western system: the characters outside its code page stay
  EXPECT_EQ(derive(L"C:\\Users\\\u7530\u4e2d\\MoodRelayer.exe"),
            L"C:\\Users\\\u7530\u4e2d\\MoodRelayer.ini");
}

TEST(SettingsPath, LastThreeCharactersAreReplacedEvenWithoutExtension) {
  EXPECT_EQ(derive(L"C:\\tools\\relayer"), L"C:\\tools\\relaini");
  EXPECT_EQ(derive(L"C:\\a.b\\x.e"), L"C:\\a.b\\ini");
}

TEST(SettingsPath, PathOfTheFullLengthStaysTerminatedInItsBuffer) {
  std::wstring path = L"C:\\" + std::wstring(252, L'd') + L".exe";
  ASSERT_EQ(path.size(), 259u);
  wchar_t buffer[settingsPathSize + 1];
  buffer[settingsPathSize] = L'#';  // guard just past the path buffer
  path.copy(buffer, 259);
  buffer[259] = 0;
  settingsPathFromModulePath(buffer);
  EXPECT_EQ(std::wstring(buffer), path.substr(0, 256) + L"ini");
  EXPECT_EQ(buffer[259], 0);
  EXPECT_EQ(buffer[settingsPathSize], L'#');
}

TEST(SettingsPath, TooShortPathIsLeftAlone) {
  EXPECT_EQ(derive(L"ab"), L"ab");
  EXPECT_EQ(derive(L""), L"");
  EXPECT_EQ(derive(L"abc"), L"ini");
}
