#include "popup/popup.h"

#include "popup/popup_rules.h"
#include "popup/status_list.h"
#include "shell/account.h"
#include "shell/app.h"
#include "shell/tray.h"
#include "shell/window_class.h"
#include "twitter/timeline_request.h"

#include <ctime>

RECT workArea;
int popupHeight = minimumPopupHeight;
int popupLeft, popupRight, popupBottom;
int popupTop;
std::uint32_t slideElapsed;
std::uint32_t slideShowTime = defaultSlideShowTime;
bool slideRising = true;
std::uint32_t pollTicks;
std::int32_t lastPollTime;
char* popupText;
char* timelineBuffer;
HWND popupWindow;

static std::int32_t currentTime() {
  return static_cast<std::int32_t>(std::time(nullptr));
}

void extractStatuses(const char* timeline) {
  ::extractStatuses(timeline, popupText, popupTextSize);
}

// The scan reads up to a terminator: make sure there is one, whatever the
// request left in the buffer.
static int fetchTimeline() {
  int status = fetchFriendsTimeline(timelineBuffer, lastPollTime);
  timelineBuffer[timelineBufferSize - 1] = 0;
  // This thread is the only one that writes the name.
  if (status == 401 && userName[0] != 0) onAccountRefused(mainWindow);
  return status;
}

bool registerPopupClass(HINSTANCE instance) {
  return registerWindowClass(popupClassName, popupWindowProc, instance);
}

// The work area is read here, once: the popup keeps its place for the run.
HWND createPopupWindow(HINSTANCE instance) {
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  const int left = workArea.right - popupWidth - popupMargin;
  HWND window = CreateWindowExA(
      WS_EX_NOACTIVATE | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
      popupClassName, popupClassName, WS_POPUP, left, workArea.bottom - minimumPopupHeight,
      popupWidth, minimumPopupHeight, nullptr, nullptr, instance, nullptr);
  popupLeft = left;
  popupRight = left + popupWidth;
  popupBottom = workArea.bottom;
  popupTop = workArea.bottom;
  return window;
}

void startSlide(HWND window) {
  slideElapsed = 0;
  slideRising = true;
  SetTimer(window, slideTimerId, slideTimerMs, nullptr);  // restarts a running one
}

void setupPopup(HINSTANCE instance, HINSTANCE previousInstance) {
  slideElapsed = 0;
  slideShowTime = defaultSlideShowTime;
  slideRising = true;

  popupText = static_cast<char*>(GlobalAlloc(GPTR, popupTextSize));
  timelineBuffer = static_cast<char*>(GlobalAlloc(GPTR, timelineBufferSize));
  if (popupText == nullptr || timelineBuffer == nullptr) return;  // no popup this run

  lastPollTime = 0;
  const std::int32_t startTime = currentTime();
  fetchTimeline();  // whatever it answers, the popup slides up once
  extractStatuses(timelineBuffer);
  lastPollTime = startTime;

  if (previousInstance == nullptr && !registerPopupClass(instance)) return;
  popupWindow = createPopupWindow(instance);
  if (popupWindow == nullptr) return;
  startSlide(popupWindow);  // the first slide shows the first request's entries
  SetTimer(popupWindow, pollTimerId, pollTimerMs, nullptr);
}

static void pollTimeline(HWND window) {
  popupText[0] = 0;
  timelineBuffer[0] = 0;
  const std::int32_t requestTime = currentTime();
  const int status = fetchTimeline();
  if (!takePollAnswer(status, requestTime, lastPollTime)) return;
  extractStatuses(timelineBuffer);
  startSlide(window);  // from wherever the popup is now
}

void onPopupTimer(HWND window, UINT_PTR timerId) {
  if (timerId == slideTimerId) {
    slidePopup(window);
  } else if (timerId == pollTimerId) {
    if (pollDue(pollTicks)) pollTimeline(window);
  }
}

LRESULT CALLBACK popupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      paintPopup(window);
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATEANDEAT;  // a click neither activates the popup nor reaches it
    case WM_COMMAND:
      if (LOWORD(wParam) == exitCommand) PostQuitMessage(0);
      return 0;
    case WM_TIMER:
      onPopupTimer(window, wParam);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
