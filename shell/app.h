#pragma once
// Program-wide state of the application shell.
#include <windows.h>

#include "shell/settings_path.h"

constexpr char appName[] = "MoodRelayer";  // mutex, window class, INI section, tooltip, agent

extern char settingsPath[settingsPathSize];
extern HINSTANCE appInstance;  // for the dialog, menu and icon resources
extern HWND mainWindow;        // hidden; receives menu commands and tray clicks

// Start-up, main loop and shutdown; the result is the process exit code.
int runProgram(HINSTANCE instance, HINSTANCE previousInstance);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
