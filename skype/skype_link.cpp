#include "skype/skype_link.h"

#include "base/window_class.h"

HWND relayWindow;
UINT discoverMsg;
UINT attachMsg;
HWND skypeApiWindow;

static void broadcastDiscovery() {
  PostMessageA(HWND_BROADCAST, discoverMsg, reinterpret_cast<WPARAM>(relayWindow), 0);
}

DWORD WINAPI skypeThread(LPVOID) {
  if (!registerWindowClass(relayClassName, relayWindowProc, nullptr)) return 0;

  relayWindow =
      CreateWindowExA(0, relayClassName, relayWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 0, 0, nullptr, nullptr, nullptr, nullptr);
  discoverMsg = RegisterWindowMessageA("SkypeControlAPIDiscover");
  attachMsg = RegisterWindowMessageA("SkypeControlAPIAttach");
  // Without the window or the two messages no client can ever reach us.
  if (relayWindow == nullptr || discoverMsg == 0 || attachMsg == 0) {
    if (relayWindow) DestroyWindow(relayWindow);
    return 0;
  }

  broadcastDiscovery();
  ShowWindow(relayWindow, SW_HIDE);
  UpdateWindow(relayWindow);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) != 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<DWORD>(message.wParam);
}

static void onDiscoveryTimer() {
  // A client that closed or crashed leaves a dead handle; forget it so that
  // discovery resumes and a restarted client can attach again.
  if (skypeApiWindow != nullptr && !IsWindow(skypeApiWindow)) skypeApiWindow = nullptr;
  if (skypeApiWindow == nullptr) broadcastDiscovery();
}

static LRESULT onAttach(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  skypeApiWindow = reinterpret_cast<HWND>(wParam);
  Sleep(0);
  sendSkypeCommand("PROTOCOL 5");
  Sleep(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK relayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetTimer(window, discoveryTimerId, discoveryPeriodMs, nullptr);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      // Nothing to draw, but the region must be validated or WM_PAINT keeps coming.
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_COPYDATA:
      return onSkypeCopyData(window, wParam, lParam);
    case WM_TIMER:  // whatever the timer's id
      onDiscoveryTimer();
      return 0;
  }
  // The client's answer to discovery: lParam 0 means attached, anything else
  // (pending, refused, not available, available) leaves us searching.
  if (attachMsg != 0 && message == attachMsg && lParam == 0)
    return onAttach(window, message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}
