#pragma once
// The notification-area icon and its menu.
#include <windows.h>

#include <cstddef>

constexpr UINT trayIconId = 1001;
constexpr UINT trayCallbackMsg = WM_APP + 1;
constexpr int trayMenuId = 1002;
constexpr int settingsCommand = 40001;
constexpr int exitCommand = 1003;
// Tells the main thread, which owns the icon, that a posting thread reported a mood's state.
constexpr UINT moodStateMsg = WM_APP + 2;
// The tooltip's second line, terminator included: "MoodRelayer\n" takes 12 of its 128.
constexpr std::size_t trayLineSize = 128 - 12;

// Adds the icon with the tooltip it has now (also after the shell restarted).
void addTrayIcon(HWND window);
void removeTrayIcon(HWND window);
void showTrayMenu(HWND window);
// The icon's callback: a left or right press opens the menu.
void onTrayCallback(HWND window, WPARAM iconId, LPARAM mouseMessage);

// Any thread: the last mood's state for the tooltip's second line; with
// accountRefused, the service refused the account although it was sent.
void reportMoodState(const char* line, bool accountRefused);
// Main thread: moodStateMsg arrived; shows the last state reported.
void onMoodState(HWND window);
// Main thread: the service refused the account. A balloon says so, once until
// the settings are saved again; a click on it opens them.
void onAccountRefused(HWND window);
// The settings were saved: a refusal may be told again.
void allowAccountBalloon();
