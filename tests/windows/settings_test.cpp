// The settings file and the "Option" dialog, driven for real under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "twitter/account.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "shell/tray.h"
#include "tests/windows/win_test_util.h"

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    appInstance = GetModuleHandleA(nullptr);
    useSettingsFile(folder.file("MoodRelayer.ini"));
    std::strcpy(userName, "before");
    std::strcpy(userPassword, "old pass");
  }
  void useSettingsFile(const std::string& path) {
    iniPath = path;
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, settingsPath, settingsPathSize);
  }
  std::string ini() const { return readWholeFile(iniPath); }

  // Opens the dialog on this thread; `user` plays the user on a second thread
  // once the dialog is up.
  INT_PTR runDialog(std::function<void(HWND)> user) {
    return withUser(
        [&] {
          HWND dialog = waitForWindow("#32770", "Option");
          ASSERT_NE(dialog, nullptr) << "the dialog did not open";
          user(dialog);
          // A message box nobody expected would hold the dialog open for good.
          for (int i = 0; i < 250 && IsWindow(dialog); ++i, Sleep(20)) {
            HWND box = waitForWindow("#32770", appName, 0);
            if (!box) continue;
            ADD_FAILURE() << "a message box came up";
            PostMessageA(box, WM_COMMAND, IDOK, 0);
          }
        },
        [] { return showSettingsDialog(); });
  }

  TempFolder folder;
  std::string iniPath;
};

void type(HWND dialog, int id, const char* text) {
  SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

TEST_F(SettingsTest, MissingFileReadsAsTwoEmptyValues) {
  loadSettings();
  EXPECT_STREQ(userName, "");
  EXPECT_STREQ(userPassword, "");
  EXPECT_FALSE(fileExists(iniPath)) << "reading must not create the file";
}

TEST_F(SettingsTest, LongValuesAreCutTo255AndSpacesAndEqualsKept) {
  writeWholeFile(iniPath, "[MoodRelayer]\r\nusername=" + std::string(300, 'n') +
                              "\r\npassword=a b=c = d\r\n[Other]\r\nusername=zzz\r\n");
  loadSettings();
  EXPECT_EQ(std::string(userName), std::string(255, 'n'));
  EXPECT_STREQ(userPassword, "a b=c = d");
}

TEST_F(SettingsTest, DialogShowsTheCurrentValues) {
  std::string seenName, seenPassword;
  runDialog([&](HWND dialog) {
    char text[256];
    GetDlgItemTextA(dialog, userNameEditId, text, sizeof text);
    seenName = text;
    GetDlgItemTextA(dialog, userPasswordEditId, text, sizeof text);
    seenPassword = text;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(seenName, "before");
  EXPECT_EQ(seenPassword, "old pass");
}

TEST_F(SettingsTest, OkWithEmptyFieldsWritesBothKeysEmpty) {
  INT_PTR result = runDialog([](HWND dialog) {
    type(dialog, userNameEditId, "");
    type(dialog, userPasswordEditId, "");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(userName, "");
  EXPECT_STREQ(userPassword, "");
  EXPECT_EQ(ini(), "[MoodRelayer]\r\nusername=\r\npassword=\r\n");
}

TEST_F(SettingsTest, OkWritesTheValuesAsTypedPasswordInPlainText) {
  INT_PTR result = runDialog([](HWND dialog) {
    type(dialog, userNameEditId, "carol");
    type(dialog, userPasswordEditId, "p@ss w0rd=!");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(userName, "carol");
  EXPECT_STREQ(userPassword, "p@ss w0rd=!");
  EXPECT_EQ(ini(), "[MoodRelayer]\r\nusername=carol\r\npassword=p@ss w0rd=!\r\n");
  AccountCopy copy = copyAccount();
  EXPECT_STREQ(copy.name, "carol");
  EXPECT_STREQ(copy.password, "p@ss w0rd=!");
}

TEST_F(SettingsTest, EveryValueReadsBackAsTypedQuotedOnlyWhereTheReaderWouldChangeIt) {
  struct Row {
    std::string typed, stored;
  } rows[] = {
      {"a\"b'c", "a\"b'c"},  // as it is: nearly every file stays as it was
      {" pw ", "\" pw \""},
      {"\"pw\"", "\"\"pw\"\""},  // the reader takes off one pair only
      {"'pw'", "\"'pw'\""},
      {"\" pw \"", "\"\" pw \"\""},
      {"caf\xe9 ", "\"caf\xe9 \""},  // the file stays in the ANSI code page
      {std::string(254, 'x') + " ", "\"" + std::string(254, 'x') + " \""},  // the longest
  };
  int serial = 0;
  for (const Row& row : rows) {
    runDialog([&](HWND dialog) {
      type(dialog, userNameEditId, "carol");
      type(dialog, userPasswordEditId, row.typed.c_str());
      PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(ini(), "[MoodRelayer]\r\nusername=carol\r\npassword=" + row.stored + "\r\n");
    // Read as the next start reads it: from a file the profile cache has not seen.
    std::string saved = ini();
    useSettingsFile(folder.file(("next" + std::to_string(++serial) + ".ini").c_str()));
    writeWholeFile(iniPath, saved);
    std::strcpy(userPassword, "stale");
    loadSettings();
    EXPECT_EQ(std::string(userPassword), row.typed) << "stored as " << row.stored;
    useSettingsFile(folder.file("MoodRelayer.ini"));
  }
}

TEST_F(SettingsTest, FailedSaveIsToldOnceWithThePathAndTheValuesServeThisRun) {
  // A folder where the file would be: no write can succeed, as in a folder
  // the user may not write to.
  ASSERT_TRUE(CreateDirectoryA(iniPath.c_str(), nullptr));
  std::string told;
  INT_PTR result = runDialog([&](HWND dialog) {
    type(dialog, userNameEditId, "carol");
    type(dialog, userPasswordEditId, "new pass");
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    HWND box = waitForWindow("#32770", appName);
    ASSERT_NE(box, nullptr) << "nobody was told";
    EXPECT_EQ(GetWindow(box, GW_OWNER), dialog);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char text[1024] = {};
      GetWindowTextA(child, text, sizeof text);
      told += std::string(text) + "|";
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);  // a second box fails the test in runDialog
    for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);
  });
  RemoveDirectoryA(iniPath.c_str());
  EXPECT_EQ(result, 1);
  EXPECT_NE(told.find("could not save your settings to\n" + iniPath + "\n"), std::string::npos)
      << told;
  EXPECT_NE(told.find("They are used until you exit."), std::string::npos) << told;
  EXPECT_STREQ(userName, "carol");
  EXPECT_STREQ(userPassword, "new pass");
}

TEST_F(SettingsTest, CancelButtonAndEscapeChangeNothing) {
  writeWholeFile(iniPath, "[MoodRelayer]\r\nusername=before\r\npassword=old pass\r\n");
  std::string fileBefore = ini();

  INT_PTR byButton = runDialog([](HWND dialog) {
    type(dialog, userNameEditId, "edited");
    type(dialog, userPasswordEditId, "edited too");
    SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(byButton, 2);

  INT_PTR byEscape = runDialog([](HWND dialog) {
    type(dialog, userNameEditId, "edited");
    HWND edit = GetDlgItem(dialog, userNameEditId);
    PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(edit, WM_KEYUP, VK_ESCAPE, 0xC0000001);
  });
  EXPECT_EQ(byEscape, 2);

  EXPECT_STREQ(userName, "before");
  EXPECT_STREQ(userPassword, "old pass");
  EXPECT_EQ(ini(), fileBefore);
}

TEST_F(SettingsTest, DialogMatchesItsLayout) {
  LONG style = 0;
  std::string texts;
  runDialog([&](HWND dialog) {
    style = GetWindowLongA(dialog, GWL_STYLE);
    // Tab order is creation order: OK, Cancel, two labels, the two edits.
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char text[64] = {};
      GetWindowTextA(child, text, sizeof text);
      texts += std::to_string(GetDlgCtrlID(child)) + ":" +
               (GetDlgCtrlID(child) == userPasswordEditId ? "" : text) + " ";
    }
    LONG edit = GetWindowLongA(GetDlgItem(dialog, userPasswordEditId), GWL_STYLE);
    EXPECT_TRUE(edit & ES_PASSWORD);
    RECT ok, cancel;
    GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &cancel);
    EXPECT_LT(cancel.right, ok.left) << "Cancel stands left of OK";
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(texts, "1:OK 2:Cancel 3000:username: 3000:password: 4000:before 4001: ");
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_SYSMENU);
}

TEST_F(SettingsTest, SecondSettingsCommandOpensASecondDialog) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = mainWindowProc;
  windowClass.hInstance = appInstance;
  windowClass.lpszClassName = "SettingsTestMain";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, "SettingsTestMain", "", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, appInstance, nullptr);
  ASSERT_NE(window, nullptr);
  DWORD mainThread = GetCurrentThreadId();
  int most = 0;
  withUser(
      [&] {
        waitForWindow("#32770", "Option");
        PostMessageA(window, WM_COMMAND, settingsCommand, 0);
        for (int i = 0; i < 250 && most < 2; ++i, Sleep(20))
          most = countWindows("#32770", "Option");
        // close them all, innermost first
        for (int i = 0; i < 250 && countWindows("#32770", "Option") > 0; ++i, Sleep(20)) {
          HWND dialog = waitForWindow("#32770", "Option", 0);
          if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
      },
      [&] {
        PostMessageA(window, WM_COMMAND, settingsCommand, 0);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        return 0;
      });
  EXPECT_EQ(most, 2);
  DestroyWindow(window);
}

}  // namespace
