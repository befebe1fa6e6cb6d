#include "popup/popup.h"

#include "base/tick_clock.h"
#include "base/window_class.h"
#include "popup/popup_rules.h"
#include "popup/status_list.h"
#include "resources/resource.h"
#include "twitter/account.h"
#include "twitter/timeline_request.h"

#include <climits>
#include <ctime>

RECT workArea;
int popupHeight = minimumPopupHeight;
int popupLeft, popupRight, popupBottom;
int popupTop;
std::uint32_t slideElapsed;
std::uint32_t slideShowTime = defaultSlideShowTime;
bool slideRising = true;
std::uint32_t pollTicks;
char* popupText;
char* timelineBuffer;
HWND popupWindow;

// Main thread only: the fetch under way and what to do with its answer.
static void (*accountRefused)();
static bool startUpFetch;            // the one before the first slide
static std::int32_t fetchStartTime;  // taken just before the request
// If-Modified-Since of the next request: empty until one was answered 200.
static char pollCondition[headerLineSize];
static std::int64_t slideStart;  // monotonicMs() when the slide began

static std::int32_t currentTime() {
  return static_cast<std::int32_t>(std::time(nullptr));
}

void extractStatuses(const char* timeline) {
  ::extractStatuses(timeline, popupText, popupTextSize);
}

// The request goes on a thread of its own; its answer comes back as
// timelineDoneMsg. False when none could be started.
static bool startFetch(bool startUp) {
  const std::int32_t startTime = currentTime();
  if (!startTimelineFetch(popupWindow, timelineDoneMsg, pollCondition)) return false;
  startUpFetch = startUp;
  fetchStartTime = startTime;
  return true;
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

void startSlide(HWND window, std::int64_t nowMs) {
  slideStart = nowMs;
  slideElapsed = 0;
  slideRising = true;
  SetTimer(window, slideTimerId, slideTimerMs, nullptr);  // restarts a running one
}

void slidePopup(HWND window, std::int64_t nowMs) {
  const std::int64_t since = nowMs - slideStart;
  const std::uint32_t elapsed =
      since < 0 ? 0 : since > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(since);
  popupTop = slideStep(popupTop, popupBottom, popupHeight, slideElapsed, elapsed, slideShowTime,
                       slideRising);
  MoveWindow(window, popupLeft, popupTop, popupRight - popupLeft, popupBottom - popupTop, TRUE);
  if (popupTop == popupBottom) {
    KillTimer(window, slideTimerId);
    ShowWindow(window, SW_HIDE);
    return;
  }
  // Never activated: the user may be typing in another program.
  ShowWindow(window, SW_SHOWNOACTIVATE);
}

void setupPopup(HINSTANCE instance, HINSTANCE previousInstance, void (*onAccountRefused)()) {
  accountRefused = onAccountRefused;
  slideElapsed = 0;
  slideShowTime = defaultSlideShowTime;
  slideRising = true;

  popupText = static_cast<char*>(GlobalAlloc(GPTR, popupTextSize));
  timelineBuffer = static_cast<char*>(GlobalAlloc(GPTR, timelineBufferSize));
  if (popupText == nullptr || timelineBuffer == nullptr) return;  // no popup this run

  pollCondition[0] = 0;
  if (previousInstance == nullptr && !registerPopupClass(instance)) return;
  popupWindow = createPopupWindow(instance);
  if (popupWindow == nullptr) return;
  // The first request runs while the program already answers; the first slide
  // waits for its entries.
  startFetch(true);
  SetTimer(popupWindow, pollTimerId, pollTimerMs, nullptr);
}

void onTimelineDone(HWND window) {
  int status = 0;
  TimelineStamp stamp;
  if (!takeTimelineResult(status, timelineBuffer, stamp)) return;  // not our fetch's message
  // The name is written on this thread only.
  if (status == 401 && userName[0] != 0 && accountRefused != nullptr) accountRefused();
  const bool changed =
      takeTimelineAnswer(status, stamp.lastModified, stamp.date, fetchStartTime, pollCondition);
  if (startUpFetch) {
    // Whatever it answered, the popup slides up once.
    startUpFetch = false;
    popupText[0] = 0;
    extractStatuses(timelineBuffer);
    startSlide(window, monotonicMs());
    return;
  }
  if (!changed) return;
  popupText[0] = 0;
  extractStatuses(timelineBuffer);
  startSlide(window, monotonicMs());  // from wherever the popup is now
}

void onPopupTimer(HWND window, UINT_PTR timerId) {
  if (timerId == slideTimerId) {
    slidePopup(window, monotonicMs());
  } else if (timerId == pollTimerId) {
    // A poll that falls due while the last one still runs is skipped.
    if (pollStarts(pollTicks, timelineFetchRunning())) startFetch(false);
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
      if (LOWORD(wParam) == IDM_EXIT) PostQuitMessage(0);
      return 0;
    case WM_TIMER:
      onPopupTimer(window, wParam);
      return 0;
    case timelineDoneMsg:
      onTimelineDone(window);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
