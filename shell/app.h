#pragma once
// Program-wide state of the application shell.
#include <windows.h>

#include "base/app_name.h"
#include "shell/settings_path.h"

extern wchar_t settingsPath[settingsPathSize];
extern HINSTANCE appInstance;  // for the dialog, menu and icon resources
extern HWND mainWindow;        // hidden; receives menu commands and tray clicks

// Start-up, main loop and shutdown; the result is the process exit code.
int runProgram(HINSTANCE instance, HINSTANCE previousInstance);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Exit and the end of the session: drops waiting moods, closes requests under
// way and removes the tray icon.
void endProgram();
// The popup's report that the service refused the account.
void accountRefusedOnTimeline();
