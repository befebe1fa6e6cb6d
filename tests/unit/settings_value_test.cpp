#include "shell/settings_value.h"

#include <gtest/gtest.h>

#include <string>

static std::wstring stored(const std::wstring& value) {
  wchar_t out[300] = {L'#'};
  EXPECT_TRUE(storedValue(value.c_str(), out, 300)) << "value of " << value.size();
  return out;
}

TEST(SettingsValue, ValuesThatReadBackAsTheyAreStayAsTheyAre) {
  for (const wchar_t* value :
       {L"", L"carol", L"p@ss w0rd=!", L"a\"b'c", L"x\"\"y", L"\"pw", L"pw\"", L"\"pw'", L"'pw\"",
        L"\"", L"'", L"pw\x01", L"\x00A0pw\x00A0", L"caf\x00E9", L"\x8a2d\x5b9a"})
    EXPECT_EQ(stored(value), value) << "quoted needlessly";
}

// The reader takes off one pair of quotes only: one more pair keeps a pair.
TEST(SettingsValue, BlanksAroundOrEnclosingQuotesAreKeptInsideDoubleQuotes) {
  struct Row {
    const wchar_t* value;
    const wchar_t* stored;
  } rows[] = {
      {L" pw ", L"\" pw \""}, {L"pw ", L"\"pw \""},       {L" pw", L"\" pw\""},
      {L"\tpw", L"\"\tpw\""}, {L"pw\r", L"\"pw\r\""},     {L"pw\x1A", L"\"pw\x1A\""},
      {L" ", L"\" \""},       {L"\"pw\"", L"\"\"pw\"\""}, {L"'pw'", L"\"'pw'\""},
      {L"\"\"", L"\"\"\"\""}, {L"''", L"\"''\""},         {L"\" pw \"", L"\"\" pw \"\""},
  };
  for (const Row& row : rows) {
    EXPECT_TRUE(valueNeedsQuotes(row.value)) << "[" << std::wstring(row.value).size() << "]";
    EXPECT_EQ(stored(row.value), row.stored);
  }
}

TEST(SettingsValue, OutTooSmallIsRefusedAndLeftEmptyExactFitIsTaken) {
  wchar_t out[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
  EXPECT_FALSE(storedValue(L" pw ", out, 6));  // needs 7 with its quotes
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], L'#');
  wchar_t fits[7];
  EXPECT_TRUE(storedValue(L" pw ", fits, 7));
  EXPECT_EQ(std::wstring(fits), L"\" pw \"");
  EXPECT_FALSE(storedValue(L"pw", out, 0));
}
