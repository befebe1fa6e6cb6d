#include "shell/settings.h"

#include "twitter/account.h"
#include "shell/app.h"
#include "shell/settings_value.h"
#include "shell/tray.h"

// The path is wide so that any folder works, and there are no ANSI profile
// calls that take a wide path. The file itself stays as it was, text in the
// ANSI code page: the system converts it, and the values here go to and from
// the account's ANSI buffers through the same code page, which gives back
// exactly the bytes any ANSI text had.

static void readValue(const wchar_t* key, char* value) {
  // One character more than a value keeps: Wine takes the last character off
  // a quoted value that fills the buffer exactly.
  wchar_t wide[accountFieldSize + 1];
  GetPrivateProfileStringW(appNameW, key, L"", wide, accountFieldSize + 1, settingsPath);
  char ansi[2 * (accountFieldSize + 1)];
  int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
  // Cut to what the buffer holds, never between the two bytes of a character.
  int kept = 0;
  while (kept < length - 1) {
    int step = IsDBCSLeadByte(static_cast<BYTE>(ansi[kept])) ? 2 : 1;
    if (kept + step > accountFieldSize - 1 || kept + step > length - 1) break;
    kept += step;
  }
  CopyMemory(value, ansi, kept);
  value[kept] = 0;
}

static bool writeValue(const wchar_t* key, const char* value) {
  wchar_t wide[accountFieldSize];
  if (MultiByteToWideChar(CP_ACP, 0, value, -1, wide, accountFieldSize) == 0) return false;
  wchar_t stored[accountFieldSize + 2];  // room for the quotes
  if (!storedValue(wide, stored, accountFieldSize + 2)) return false;
  return WritePrivateProfileStringW(appNameW, key, stored, settingsPath) != 0;
}

void loadSettings() {
  Hold hold(accountLock);
  readValue(L"username", userName);
  readValue(L"password", userPassword);
}

INT_PTR showSettingsDialog() {
  return DialogBoxParamA(appInstance, MAKEINTRESOURCEA(settingsDialogId), nullptr,
                         settingsDialogProc, 0);
}

static void append(wchar_t* text, int size, const wchar_t* more) {
  int used = lstrlenW(text);
  lstrcpynW(text + used, more, size - used);
}

// Without this the user would only see the dialog ask again at every start
// (in Program Files, say, where the program may not write beside itself).
static void tellSettingsNotSaved(HWND dialog) {
  wchar_t text[settingsPathSize + 256] = {};
  append(text, ARRAYSIZE(text), L"MoodRelayer could not save your settings to\n");
  append(text, ARRAYSIZE(text), settingsPath);
  append(text, ARRAYSIZE(text),
         L"\n\nThey are used until you exit. To keep them, move MoodRelayer to a folder "
         L"you can write to, such as one in your Documents, and enter them again.");
  MessageBoxW(dialog, text, appNameW, MB_OK | MB_ICONWARNING);
}

static void acceptSettings(HWND dialog) {
  {
    // Memory first: requests started from now on use the new pair even when
    // the file below cannot be written.
    Hold hold(accountLock);
    GetDlgItemTextA(dialog, userNameEditId, userName, accountFieldSize);
    GetDlgItemTextA(dialog, userPasswordEditId, userPassword, accountFieldSize);
  }
  bool saved = writeValue(L"username", userName);
  if (!writeValue(L"password", userPassword)) saved = false;
  allowAccountBalloon();
  if (!saved) tellSettingsNotSaved(dialog);
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, userNameEditId, userName);
      SetDlgItemTextA(dialog, userPasswordEditId, userPassword);
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK)
        acceptSettings(dialog);
      else if (LOWORD(wParam) == IDCANCEL)
        EndDialog(dialog, IDCANCEL);
      break;
  }
  return 0;
}
