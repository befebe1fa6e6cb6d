// idle_baseline: the least a Windows program can be, for scripts/bench to set
// the program's idle cost and start-up time against: one hidden window and a
// message loop, nothing else. With --tray it also puts an icon (id 1001) in
// the notification area, as the program does at start-up; the shell library
// is loaded only then, so the idle figures stay those of the bare program.
//
//   idle_baseline [--tray]
//
// It ends when its window gets WM_CLOSE.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace {

constexpr char className[] = "MrIdleBaseline";
constexpr UINT trayIconId = 1001;

using NotifyIcon = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
NotifyIcon notifyIcon;

void trayIcon(HWND window, DWORD action) {
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  icon.hWnd = window;
  icon.uID = trayIconId;
  icon.uFlags = NIF_ICON | NIF_TIP;
  icon.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
  std::strcpy(icon.szTip, className);
  notifyIcon(action, &icon);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const bool tray = __argc > 1 && std::strcmp(__argv[1], "--tray") == 0;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(0, className, className, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, instance, nullptr);
  if (!window) return 1;
  if (tray) {
    HMODULE shell = LoadLibraryA("shell32.dll");
    notifyIcon = shell ? reinterpret_cast<NotifyIcon>(reinterpret_cast<void (*)()>(
                             GetProcAddress(shell, "Shell_NotifyIconA")))
                       : nullptr;
    if (!notifyIcon) return 1;
    trayIcon(window, NIM_ADD);
  }

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  if (tray) trayIcon(window, NIM_DELETE);
  return 0;
}
