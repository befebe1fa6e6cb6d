#include "shell/settings.h"

#include "twitter/account.h"
#include "shell/app.h"
#include "shell/tray.h"

void loadSettings() {
  Hold hold(accountLock);
  GetPrivateProfileStringA(appName, "username", "", userName, accountFieldSize, settingsPath);
  GetPrivateProfileStringA(appName, "password", "", userPassword, accountFieldSize, settingsPath);
}

INT_PTR showSettingsDialog() {
  return DialogBoxParamA(appInstance, MAKEINTRESOURCEA(settingsDialogId), nullptr,
                         settingsDialogProc, 0);
}

static void acceptSettings(HWND dialog) {
  {
    // Memory first: requests started from now on use the new pair even when
    // the file below cannot be written.
    Hold hold(accountLock);
    GetDlgItemTextA(dialog, userNameEditId, userName, accountFieldSize);
    GetDlgItemTextA(dialog, userPasswordEditId, userPassword, accountFieldSize);
  }
  WritePrivateProfileStringA(appName, "username", userName, settingsPath);
  WritePrivateProfileStringA(appName, "password", userPassword, settingsPath);
  allowAccountBalloon();
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
