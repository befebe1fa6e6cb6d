#pragma once
// The settings file and the "Option" dialog that edits it.
#include <windows.h>

constexpr int settingsDialogId = 2001;
constexpr int userNameEditId = 4000;
constexpr int userPasswordEditId = 4001;

// Reads "username" and "password" from the settings file into the account buffers.
void loadSettings();

// Modal, without owner. 1 when the user pressed OK, 2 when they cancelled.
INT_PTR showSettingsDialog();

INT_PTR CALLBACK settingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
