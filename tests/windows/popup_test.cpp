#include "popup/popup.h"

#include "base/tick_clock.h"
#include "popup/popup_rules.h"
#include "popup/status_list.h"
#include "tests/windows/win_test_util.h"
#include "twitter/timeline_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

constexpr DWORD popupExStyles =
    WS_EX_NOACTIVATE | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST;

// The popup window and state as set-up leaves them, without the first request:
// each test starts retracted, with the text it sets, and drives the slide
// tick by tick instead of waiting for the timer.
class PopupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static std::vector<char> text(popupTextSize), timeline(timelineBufferSize);
    popupText = text.data();
    timelineBuffer = timeline.data();
    registerPopupClass(GetModuleHandleA(nullptr));
  }

  void SetUp() override {
    popupText[0] = 0;
    popupHeight = minimumPopupHeight;
    slideShowTime = defaultSlideShowTime;
    window = createPopupWindow(GetModuleHandleA(nullptr));
    ASSERT_NE(window, nullptr);
    startSlide(window, clock);
  }

  void TearDown() override {
    DestroyWindow(window);
    dropQuitRequests();  // the popup's WM_DESTROY asks the thread to quit
  }

  static bool dropQuitRequests() {
    MSG message;
    bool any = false;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) any = true;
    return any;
  }

  static void setText(const std::string& text) {
    ASSERT_LT(text.size(), popupTextSize);
    text.copy(popupText, text.size());
    popupText[text.size()] = 0;
  }

  // One tick of the slide timer 20 ms after the last, and the paint it causes.
  void tick() {
    clock += slideTimerMs;
    slidePopup(window, clock);
    UpdateWindow(window);
  }
  void ticks(int count) {
    for (int i = 0; i < count; ++i) tick();
  }
  RECT rect() const {
    RECT r;
    GetWindowRect(window, &r);
    return r;
  }
  int height() const { return rect().bottom - rect().top; }

  // Rows of the client area (top to bottom, from y up to limit) that hold
  // dark, that is text, pixels.
  std::vector<int> darkRows(int from = 0, int limit = INT_MAX) const {
    HDC dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    std::vector<int> rows;
    for (int y = from; y < client.bottom && y < limit; ++y) {
      for (int x = 0; x < client.right; ++x) {
        COLORREF c = GetPixel(dc, x, y);
        if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) {
          rows.push_back(y);
          break;
        }
      }
    }
    ReleaseDC(window, dc);
    return rows;
  }
  int darkPixels() const {
    HDC dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    int dark = 0;
    for (int y = 0; y < client.bottom; ++y)
      for (int x = 0; x < client.right; ++x) {
        COLORREF c = GetPixel(dc, x, y);
        if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) ++dark;
      }
    ReleaseDC(window, dc);
    return dark;
  }
  COLORREF pixel(int x, int y) const {
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
  }

  // The text height as the paint measures it, in the message font.
  int measure(const std::string& text) const {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HDC dc = GetDC(window);
    HFONT font = CreateFontIndirectA(&metrics.lfMessageFont);
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, popupWidth, 0};
    int h =
        DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(window, dc);
    return h;
  }

  HWND window = nullptr;
  std::int64_t clock = 1000000;  // the slide's own clock, in ms
};

}  // namespace

TEST_F(PopupTest, WindowSitsAtTheBottomRightOfTheWorkAreaAndHandlesItsMessages) {
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  // The system drops the window edge of a window without caption or sizing frame.
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_WINDOWEDGE, popupExStyles);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & ~WS_CLIPSIBLINGS,
            static_cast<DWORD>(WS_POPUP));
  EXPECT_FALSE(IsWindowVisible(window));
  RECT r = rect();
  EXPECT_EQ(r.right, area.right - 10);
  EXPECT_EQ(r.left, area.right - 160);
  EXPECT_EQ(r.bottom, area.bottom);
  EXPECT_EQ(popupLeft, r.left);
  EXPECT_EQ(popupRight, r.right);
  EXPECT_EQ(popupTop, area.bottom);

  EXPECT_EQ(SendMessageA(window, WM_MOUSEACTIVATE, 0, 0), MA_NOACTIVATEANDEAT);
  EXPECT_EQ(SendMessageA(window, WM_COMMAND, 40001, 0), 0);
  EXPECT_FALSE(dropQuitRequests());
  SendMessageA(window, WM_COMMAND, 1003, 0);
  EXPECT_TRUE(dropQuitRequests());
  SendMessageA(window, WM_TIMER, 99, 0);  // no timer of ours: nothing moves
  EXPECT_EQ(rect().top, r.top);
  EXPECT_FALSE(IsWindowVisible(window));

  // The slide timer's tick goes by the system's clock, not by its count:
  // one tick 200 ms after the start raises the popup 50 pixels, not 5.
  startSlide(window, monotonicMs());
  Sleep(200);
  SendMessageA(window, WM_TIMER, slideTimerId, 0);
  EXPECT_GE(height(), 45);  // the tick count may lag the sleep by one 15.6 ms step
  EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(PopupTest, EmptyTextSlidesAFullGradientPopupUpAndDownInTime) {
  const RECT area = rect();
  std::vector<int> heights;
  for (int t = 1; t <= 170; ++t) {
    tick();
    heights.push_back(height());
    ASSERT_EQ(rect().bottom, area.bottom) << t;  // only the top moves
    ASSERT_EQ(rect().left, area.left) << t;
    ASSERT_EQ(IsWindowVisible(window) != 0, t < 170) << t;
    if (t == 100) {
      EXPECT_TRUE(darkRows().empty());
      RECT client;
      GetClientRect(window, &client);
      EXPECT_EQ(pixel(0, client.bottom / 2), RGB(154, 190, 255));
      COLORREF right = pixel(client.right - 1, client.bottom / 2);
      EXPECT_GE(GetRValue(right), 245);
      EXPECT_GE(GetGValue(right), 245);
      EXPECT_EQ(GetBValue(right), 255);
    }
  }
  EXPECT_EQ(heights[0], 5);
  EXPECT_EQ(heights[19], 100);
  EXPECT_EQ(heights[149], 100);
  EXPECT_EQ(heights[150], 95);
  EXPECT_EQ(heights[169], 0);
  EXPECT_FALSE(KillTimer(window, slideTimerId));  // the slide stopped its timer
  tick();  // a stray tick after the end does not bring it back
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(height(), 0);
}

TEST_F(PopupTest, TextIsCentredOnceItFitsAndTallTextRaisesThePopup) {
  const std::string five = "alice: one\nbob: two\ncarol: three\ndave: four\nerin: five\n";
  const int h = measure(five);
  ASSERT_GT(h, 40);
  ASSERT_LT(h, 90);
  setText(five);
  // While the popup is lower than its text nothing is drawn.
  ticks((h - 1) / 5);
  ASSERT_LT(height(), h);
  EXPECT_TRUE(darkRows().empty()) << height();
  ticks(20);
  ASSERT_EQ(height(), 100);
  std::vector<int> rows = darkRows();
  ASSERT_FALSE(rows.empty());
  const int top = (96 - h) / 2;  // client area: the client edge takes 2 pixels a side
  EXPECT_GE(rows.front(), top);
  EXPECT_LE(rows.front(), top + 4);
  EXPECT_LT(rows.back(), top + h);

  // Twelve lines need more than 100 pixels: the popup rises to h + 10.
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "user" + std::to_string(i) + ": text\n";
  setText(twelve);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  const int tall = measure(twelve);
  EXPECT_EQ(popupHeight, tall + 10);
  ticks(20);
  EXPECT_EQ(height(), tall + 10);
}

TEST_F(PopupTest, TextTallerThanThePopupCanRiseIsDrawnFromTheTopOnceItStands) {
  std::string many;
  for (int i = 0; i < 80; ++i) many += "user" + std::to_string(i) + ": a longer text\n";
  RECT area;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  // The work area, or 750 pixels: as high as the popup rises in three seconds.
  const int full = std::min<int>(area.bottom - area.top, 750);
  ASSERT_GT(measure(many), full);
  setText(many);
  const int toFull = (full + 4) / 5;
  ticks(toFull - 2);
  EXPECT_EQ(popupHeight, full);
  ASSERT_LT(height(), full);
  EXPECT_TRUE(darkRows(0, 30).empty()) << "drawn before the popup stands";
  ticks(2);
  ASSERT_EQ(height(), full);
  RECT client;
  GetClientRect(window, &client);
  // From the top, and on to the bottom edge, which clips it.
  std::vector<int> top = darkRows(0, 30), bottom = darkRows(client.bottom - 30);
  ASSERT_FALSE(top.empty());
  EXPECT_LE(top.front(), 4);
  ASSERT_FALSE(bottom.empty());
  EXPECT_GE(bottom.back(), client.bottom - 20);
}

TEST_F(PopupTest, AmpersandsAreDrawnAsText) {
  setText("aaaaaaaa");
  ticks(20);
  const int letters = darkPixels();
  std::string marked;
  for (int i = 0; i < 8; ++i) marked += "&a";
  setText(marked);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  const int withAmpersands = darkPixels();
  ASSERT_GT(letters, 0);
  // As mnemonic markers the ampersands would vanish, leaving the letters.
  EXPECT_GT(withAmpersands, letters * 3 / 2);
}

TEST_F(PopupTest, SlidingLeavesTheFocusAndTheForegroundWindowAlone) {
  HWND owner = CreateWindowExA(0, "STATIC", "focus owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                               100, 300, 200, nullptr, nullptr, nullptr, nullptr);
  HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 24, owner, nullptr,
                              nullptr, nullptr);
  SetForegroundWindow(owner);
  SetFocus(edit);
  ASSERT_EQ(GetFocus(), edit);
  setText("alice: typing goes on\n");
  for (int t = 1; t <= 170; ++t) {
    tick();
    ASSERT_NE(GetForegroundWindow(), window) << t;
    ASSERT_NE(GetActiveWindow(), window) << t;
    ASSERT_NE(GetFocus(), window) << t;
    // Other test programs on this display may take the foreground meanwhile;
    // while it is ours it must still be where the user left it.
    DWORD process = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &process);
    if (process != GetCurrentProcessId()) continue;
    ASSERT_EQ(GetForegroundWindow(), owner) << t;
    ASSERT_EQ(GetFocus(), edit) << t;
  }
  DestroyWindow(owner);
}
