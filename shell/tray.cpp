#include "shell/tray.h"

#include <shellapi.h>

#include "shell/app.h"

// The size that carries a 128-character tooltip: 488 bytes in the 32-bit
// program, its pointer-size equivalent in the 64-bit one.
static_assert(NOTIFYICONDATAA_V2_SIZE == (sizeof(void*) == 8 ? 504 : 488), "tray record size");

void addTrayIcon(HWND window) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  icon.hWnd = window;
  icon.uID = trayIconId;
  icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  icon.uCallbackMessage = trayCallbackMsg;
  icon.hIcon = LoadIconA(appInstance, MAKEINTRESOURCEA(1));
  lstrcpynA(icon.szTip, appName, sizeof icon.szTip);
  Shell_NotifyIconA(NIM_ADD, &icon);
}

void removeTrayIcon(HWND window) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  icon.hWnd = window;
  icon.uID = trayIconId;
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
}
