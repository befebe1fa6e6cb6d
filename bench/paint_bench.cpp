// Cost of one frame of the popup under Wine: the paint (gradient, metrics,
// font creation, two DrawText calls) and a whole slide tick (move, show, paint).
// Prints figures; it is not a test. Run: wine build/windows/paint_bench.exe
#include "popup/popup.h"

#include "popup/popup_rules.h"
#include "popup/status_list.h"
#include "twitter/timeline_request.h"

#include <cstdio>
#include <vector>

namespace {

LARGE_INTEGER frequency;

double nowUs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

template <typename Step>
void measure(const char* name, int rounds, Step step) {
  for (int i = 0; i < 20; ++i) step();  // warm up
  const double start = nowUs();
  for (int i = 0; i < rounds; ++i) step();
  const double perFrame = (nowUs() - start) / rounds;
  std::printf("%-44s %8.1f us  (%5.2f%% of a 20 ms tick)\n", name, perFrame, perFrame / 200.0);
}

}  // namespace

int main() {
  QueryPerformanceFrequency(&frequency);
  std::vector<char> text(popupTextSize), timeline(timelineBufferSize);
  popupText = text.data();
  timelineBuffer = timeline.data();
  const char lines[] =
      "alice: Off to the hills for the weekend, no network there\n"
      "bob: Tom & Jerry marathon tonight, who is in?\n"
      "carol: Reading about sliding windows and gradients\n"
      "dave: Coffee number three\n"
      "erin: Back from the conference, slides are online\n";
  std::snprintf(popupText, popupTextSize, "%s", lines);

  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!registerPopupClass(instance)) return 1;
  HWND window = createPopupWindow(instance);
  if (!window) return 1;
  // Raised on a clock of its own, 20 ms a tick, then left standing.
  std::int64_t clock = 0;
  startSlide(window, clock);
  slideShowTime = 0xFFFFFFFF;  // stand for the whole measurement
  for (int i = 0; i < 40; ++i) {
    clock += slideTimerMs;
    slidePopup(window, clock);
    UpdateWindow(window);
  }
  KillTimer(window, slideTimerId);
  std::printf("popup %d x %d, text of %zu bytes in 5 lines\n", popupRight - popupLeft,
              popupBottom - popupTop, sizeof lines - 1);

  const int rounds = 500;
  measure("paint (WM_PAINT of the whole popup)", rounds, [&] {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
  });
  measure("slide tick standing (move, show, paint)", rounds, [&] {
    onPopupTimer(window, slideTimerId);
    UpdateWindow(window);
  });
  int top = popupTop;
  measure("slide tick moving (resize by 5 px, paint)", rounds, [&] {
    popupTop = (popupTop == top) ? top + 5 : top;
    MoveWindow(window, popupLeft, popupTop, popupRight - popupLeft, popupBottom - popupTop, TRUE);
    UpdateWindow(window);
  });

  // The parts of one paint, on the window's device context.
  HDC dc = GetDC(window);
  measure("  metrics + create/select/delete font", rounds, [&] {
    HFONT font = createMessageFont();
    HGDIOBJ old = SelectObject(dc, font);
    SelectObject(dc, old);
    DeleteObject(font);
  });
  measure("  gradient fill", rounds, [&] { fillGradient(dc, 150, 100); });
  HFONT font = createMessageFont();
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  std::size_t units = 0;
  static wchar_t wide[popupTextSize];
  measure("  UTF-8 to UTF-16", rounds,
          [&] { units += wideText(popupText, wide, popupTextSize); });
  measure("  measure text (DT_CALCRECT)", rounds, [&] {
    RECT r = {0, 0, 150, 100};
    DrawTextW(dc, wide, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
  });
  measure("  draw text", rounds, [&] {
    RECT r = {0, 0, 150, 100};
    DrawTextW(dc, wide, -1, &r, DT_WORDBREAK | DT_NOPREFIX);
  });
  if (units == 0) return 1;  // keeps the conversion from being optimized away
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(window, dc);
  DestroyWindow(window);
  return 0;
}
