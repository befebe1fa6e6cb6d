#include "shell/tray.h"

#include <shellapi.h>

#include "base/lock.h"
#include "base/text_buffer.h"
#include "shell/app.h"

// Main thread only. The tooltip as shown, kept for a shell that restarts.
static char trayTip[128];
static bool accountBalloonShown;

// The last mood's state, from the posting threads. The message that tells the
// main thread carries nothing, so one posted by anybody else can do no harm.
static Lock moodStateLock;
static char moodLine[trayLineSize];
static bool moodAccountRefused;

static NOTIFYICONDATAA iconRecord(HWND window, UINT flags) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  icon.hWnd = window;
  icon.uID = trayIconId;
  icon.uFlags = flags;
  return icon;
}

// The size that carries a 128-character tooltip: 488 bytes in the 32-bit
// program, its pointer-size equivalent in the 64-bit one.
static_assert(NOTIFYICONDATAA_V2_SIZE == (sizeof(void*) == 8 ? 504 : 488), "tray record size");

void addTrayIcon(HWND window) {
  NOTIFYICONDATAA icon = iconRecord(window, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  icon.uCallbackMessage = trayCallbackMsg;
  icon.hIcon = LoadIconA(appInstance, MAKEINTRESOURCEA(1));
  if (trayTip[0] == 0) lstrcpynA(trayTip, appName, sizeof trayTip);
  lstrcpynA(icon.szTip, trayTip, sizeof icon.szTip);
  Shell_NotifyIconA(NIM_ADD, &icon);
}

void removeTrayIcon(HWND window) {
  NOTIFYICONDATAA icon = iconRecord(window, 0);
  Shell_NotifyIconA(NIM_DELETE, &icon);
}

void showTrayMenu(HWND window) {
  HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(trayMenuId));
  HMENU popup = GetSubMenu(menu, 0);
  POINT mouse = {};
  GetCursorPos(&mouse);
  // Foreground first, or the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(window);
  TrackPopupMenu(popup, TPM_BOTTOMALIGN, mouse.x, mouse.y, 0, window, nullptr);
  PostMessageA(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
}

void onTrayCallback(HWND window, WPARAM iconId, LPARAM mouseMessage) {
  if (iconId != trayIconId) return;
  if (mouseMessage == WM_LBUTTONDOWN || mouseMessage == WM_RBUTTONDOWN) showTrayMenu(window);
  // Posted, not called: the shell waits for this callback to return.
  if (mouseMessage == NIN_BALLOONUSERCLICK) PostMessageA(window, WM_COMMAND, settingsCommand, 0);
}

void reportMoodState(const char* line, bool accountRefused) {
  {
    Hold hold(moodStateLock);
    lstrcpynA(moodLine, line, sizeof moodLine);
    moodAccountRefused = moodAccountRefused || accountRefused;
  }
  if (mainWindow != nullptr) PostMessageA(mainWindow, moodStateMsg, 0, 0);
}

void onMoodState(HWND window) {
  char line[trayLineSize];
  bool accountRefused;
  {
    Hold hold(moodStateLock);
    lstrcpynA(line, moodLine, sizeof line);
    accountRefused = moodAccountRefused;
    moodAccountRefused = false;
  }
  if (line[0] == 0) return;
  NOTIFYICONDATAA icon = iconRecord(window, NIF_TIP);
  TextBuffer(trayTip, sizeof trayTip).text(appName).text("\n").text(line);
  lstrcpynA(icon.szTip, trayTip, sizeof icon.szTip);
  Shell_NotifyIconA(NIM_MODIFY, &icon);
  if (accountRefused) onAccountRefused(window);
}

void onAccountRefused(HWND window) {
  if (accountBalloonShown) return;
  accountBalloonShown = true;
  NOTIFYICONDATAA icon = iconRecord(window, NIF_INFO);
  lstrcpynA(icon.szInfoTitle, appName, sizeof icon.szInfoTitle);
  lstrcpynA(icon.szInfo,
            "The service refused the account name or password. Correct them in Settings: "
            "click here, or choose Setting in this icon's menu.",
            sizeof icon.szInfo);
  icon.uTimeout = 15000;
  icon.dwInfoFlags = NIIF_WARNING;
  Shell_NotifyIconA(NIM_MODIFY, &icon);
}

void allowAccountBalloon() {
  accountBalloonShown = false;
}
