#pragma once
// The notification-area icon and its menu.
#include <windows.h>

constexpr UINT trayIconId = 1001;
constexpr UINT trayCallbackMsg = WM_APP + 1;
constexpr int trayMenuId = 1002;
constexpr int settingsCommand = 40001;
constexpr int exitCommand = 1003;

void addTrayIcon(HWND window);
void removeTrayIcon(HWND window);
void showTrayMenu(HWND window);
// The icon's callback: a left or right press opens the menu.
void onTrayCallback(HWND window, WPARAM iconId, LPARAM mouseMessage);
