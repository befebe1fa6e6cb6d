// The one place that wires the parts together: the Skype link hands moods to
// the poster, the poster and the popup report to the tray.
#include "base/window_class.h"
#include "popup/popup.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "shell/tray.h"
#include "skype/skype_link.h"
#include "twitter/account.h"
#include "twitter/http_session.h"
#include "twitter/status_request.h"

#include <cstring>

wchar_t settingsPath[settingsPathSize];
HINSTANCE appInstance;
HWND mainWindow;

static UINT taskbarCreatedMsg;

// How long the end waits for requests under way to let go once closed.
constexpr DWORD requestsLetGoMs = 500;

static void findSettingsFile() {
  // Wide: the ANSI path turns characters outside the code page into "?".
  GetModuleFileNameW(nullptr, settingsPath, settingsPathSize);
  settingsPath[settingsPathSize - 1] = 0;  // older systems leave a full buffer unterminated
  settingsPathFromModulePath(settingsPath);
}

int runProgram(HINSTANCE instance, HINSTANCE previousInstance) {
  appInstance = instance;

  // Held, never closed, for the life of the process.
  CreateMutexA(nullptr, TRUE, appName);
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 1;

  findSettingsFile();

  if (previousInstance == nullptr && !registerWindowClass(appName, mainWindowProc, instance))
    return 0;

  std::memset(userName, 0, sizeof userName);
  std::memset(userPassword, 0, sizeof userPassword);
  loadSettings();
  if (std::strlen(userName) < 3 && showSettingsDialog() == IDCANCEL) return 1;

  mainWindow = CreateWindowExA(0, appName, appName, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                               nullptr, instance, nullptr);
  ShowWindow(mainWindow, SW_HIDE);
  UpdateWindow(mainWindow);

  setMoodReporter(reportMoodState);
  moodTextPoster = startMoodPost;
  DWORD threadId = 0;
  HANDLE skype = CreateThread(nullptr, 0, skypeThread, mainWindow, 0, &threadId);
  if (skype) CloseHandle(skype);  // nobody waits for it

  addTrayIcon(mainWindow);
  setupPopup(instance, previousInstance, accountRefusedOnTimeline);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) != 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  endProgram();
  return static_cast<int>(message.wParam);
}

// Nobody waits for the network: moods still waiting are dropped, requests
// under way are closed, and the process ends now.
void endProgram() {
  // Once: the end of the session ends the loop, which comes here again.
  static bool ended = false;
  if (ended) return;
  ended = true;
  stopMoodPosts();
  ServiceRequest::cancelAll(requestsLetGoMs);
  removeTrayIcon(mainWindow);
}

void accountRefusedOnTimeline() {
  onAccountRefused(mainWindow);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      taskbarCreatedMsg = RegisterWindowMessageA("TaskbarCreated");
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // at once: nothing here needs saving
    case WM_ENDSESSION:
      // Windows may end the process any time after this returns.
      if (wParam) {
        endProgram();
        PostQuitMessage(0);
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == exitCommand)
        PostQuitMessage(0);
      else if (LOWORD(wParam) == settingsCommand)
        showSettingsDialog();
      return 0;
  }
  if (taskbarCreatedMsg != 0 && message == taskbarCreatedMsg) {
    addTrayIcon(window);  // the shell restarted and forgot the icon
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (message == trayCallbackMsg) {
    onTrayCallback(window, wParam, lParam);
    return 1;
  }
  if (message == moodStateMsg) {
    onMoodState(window);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
