#pragma once
// The timeline popup: first request, window, poll cycle, slide and paint.
#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr char popupClassName[] = "fadeWindow";  // class and title
constexpr UINT_PTR slideTimerId = 16;
constexpr UINT slideTimerMs = 20;
constexpr UINT_PTR pollTimerId = 17;
constexpr UINT pollTimerMs = 1000;
constexpr int popupWidth = 150;
constexpr int popupMargin = 10;  // between the popup and the work area's right edge
// A timeline request is done; carries nothing, so one posted by anybody else does no harm.
constexpr UINT timelineDoneMsg = WM_APP + 3;

// Popup state, main thread only.
extern RECT workArea;
extern int popupHeight;  // the height the popup rises to; set by every paint
extern int popupLeft, popupRight, popupBottom;
extern int popupTop;  // popupBottom while retracted
extern std::uint32_t slideElapsed;  // ms from the slide's start to its last step
extern std::uint32_t slideShowTime;
extern bool slideRising;
extern std::uint32_t pollTicks;
extern char* popupText;            // popupTextSize bytes: what the popup shows
extern char* timelineBuffer;       // timelineBufferSize bytes: the last timeline document
extern HWND popupWindow;

// Once, before the main loop: the window, the poll timer and the first
// timeline request, which runs on a thread of its own. onAccountRefused: the
// service refused the account on a timeline request.
void setupPopup(HINSTANCE instance, HINSTANCE previousInstance, void (*onAccountRefused)());

// The popup's pieces on their own, for set-up and tests: the class, the hidden
// window at the bottom right of the work area, the start of a slide at nowMs
// (monotonicMs(); tests give a clock of their own).
bool registerPopupClass(HINSTANCE instance);
HWND createPopupWindow(HINSTANCE instance);
void startSlide(HWND window, std::int64_t nowMs);

LRESULT CALLBACK popupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void onPopupTimer(HWND window, UINT_PTR timerId);
// timelineDoneMsg: takes the answer, and slides up with it when it asks for that.
void onTimelineDone(HWND window);
// One slide step at nowMs, on the clock of startSlide: the timer's ticks
// come late on Windows, so the slide goes by the time that passed.
void slidePopup(HWND window, std::int64_t nowMs);
void paintPopup(HWND window);
// The two costly pieces of a paint, also timed on their own by the frame benchmark.
void fillGradient(HDC dc, int width, int height);
HFONT createMessageFont();                // the system's message-box font; the caller deletes it
// popupText as DrawTextW takes it: the UTF-16 units written into wide
// (capacity units, terminator included), not counting the terminator.
int wideText(const char* utf8, wchar_t* wide, int capacity);

// The lines of the timeline document in timelineBuffer, appended to popupText.
void extractStatuses(const char* timeline);
