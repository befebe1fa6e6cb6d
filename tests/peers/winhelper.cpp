// winhelper: a console tool that end-to-end tests use to look at and poke the
// windows of other programs under test.
//
//   winhelper list [CLASS]              top-level windows: hwnd class "title" l t r b visible pid
//   tid winhelper children HWND             child windows: hwnd id class "text" l t r b style
//   winhelper find CLASS [TITLE] [MS]   waits up to MS (default 5000) for a window; prints its hwnd
//   winhelper gone HWND [MS]            waits up to MS for a window to disappear
//   winhelper post HWND MSG [W [L]]     PostMessage; MSG a number or reg:NAME
//   winhelper send HWND MSG [W [L]]     SendMessage; prints the result
//   winhelper broadcast MSG [W [L]]     PostMessage to HWND_BROADCAST
//   winhelper click HWND ID             presses a dialog button (BM_CLICK)
//   winhelper settext HWND ID TEXT      sets a dialog control's text
//   winhelper gettext HWND ID           prints a dialog control's text
//   winhelper foreground                prints the foreground window: hwnd class
//   winhelper activate HWND             brings a window to the foreground
//   winhelper style HWND                prints style and extended style in hex
//   winhelper tray HWND ID              prints 1 when the shell holds that tray icon, else 0
//   winhelper traydel HWND ID           removes a tray icon, as a restarting shell loses it
//   winhelper waittray CLASS ID MS      waits up to MS for a window of CLASS whose tray icon ID
//                                       the shell holds; prints the wall-clock time it was first
//                                       seen, in microseconds since 1970 (the Linux side's clock)
//   winhelper cursor X Y                moves the mouse
//   winhelper tip MS                    hovers the first tray icon, waits up to MS for its
//                                       tooltip and prints its text (a line end as \n)
//   winhelper balloon MS                waits up to MS for a tray balloon; prints: hwnd text
//   winhelper key HWND VK [CHAR]        posts a key press (and its character) to a window
//   winhelper workarea                  prints the work area: l t r b
//   winhelper still CLASS H STILL MS    waits up to MS for a visible window of CLASS that is H
//                                       pixels high (0: any) and has not moved for STILL ms;
//                                       prints l t r b
//   winhelper drawtext HEXUTF8 W H      draws the text as a reference for the popup's paint: a
//                                       W x H picture with the popup's gradient and the text in
//                                       the message font, by DrawTextW with the popup's flags;
//                                       prints "height N" (the measured text height) and then
//                                       H lines of W pixels, each "rrggbb", in hex
//   winhelper track CLASS MS            waits up to MS for the window, then until it has been
//                                       shown and hidden again or MS passed, prints every change:
//                                       ms l t r b visible foreground-hwnd (ms since the start)
// Exit code 0 on success, 1 when a window was not found or a call failed, 2 on bad usage.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "tests/peers/hex_text.h"

static HWND parseWindow(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0)));
}

static UINT parseMessage(const char* text) {
  if (std::strncmp(text, "reg:", 4) == 0) return RegisterWindowMessageA(text + 4);
  return static_cast<UINT>(std::strtoul(text, nullptr, 0));
}

static uintptr_t parseNumber(int argc, char** argv, int index) {
  return index < argc ? static_cast<uintptr_t>(std::strtoll(argv[index], nullptr, 0)) : 0;
}

static void printWindow(HWND window) {
  char className[256] = {}, title[512] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  RECT r = {};
  GetWindowRect(window, &r);
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(window, &pid);
  std::printf("0x%llx %s \"%s\" %ld %ld %ld %ld %d %lu %lu\n",
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), className,
              title, r.left, r.top, r.right, r.bottom, IsWindowVisible(window) ? 1 : 0, pid, tid);
}

struct ListFilter {
  const char* className;
};

static BOOL CALLBACK listOne(HWND window, LPARAM param) {
  auto* filter = reinterpret_cast<ListFilter*>(param);
  if (filter->className) {
    char className[256] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, filter->className) != 0) return TRUE;
  }
  printWindow(window);
  return TRUE;
}

static BOOL CALLBACK listChild(HWND window, LPARAM) {
  char className[256] = {}, text[512] = {};
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, text, sizeof text);
  RECT r = {};
  GetWindowRect(window, &r);
  std::printf("0x%llx %d %s \"%s\" %ld %ld %ld %ld 0x%lx\n",
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
              GetDlgCtrlID(window), className, text, r.left, r.top, r.right, r.bottom,
              static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)));
  return TRUE;
}

// Drawn on its own from the calls the popup is meant to make, so that a test
// can hold the popup's pixels against it whatever fonts are installed.
static int drawText(const std::string& utf8, int width, int height) {
  std::wstring text(utf8.size() + 1, L'\0');
  int units =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                          &text[0], static_cast<int>(text.size()));
  if (units < 0 || (units == 0 && !utf8.empty()) || width <= 0 || height <= 0) return 2;
  text.resize(static_cast<std::size_t>(units));

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dc || !bitmap) return 1;
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);

  TRIVERTEX vertices[2] = {{0, 0, 0x9A00, 0xBE00, 0xFF00, 0xFF00},
                           {width, height, 0xFF00, 0xFF00, 0xFF00, 0xFF00}};
  GRADIENT_RECT gradient = {0, 1};
  GradientFill(dc, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_H);

  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = 500;  // the form without iPaddedBorderWidth
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
  HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  RECT rect = {0, 0, width, height};
  RECT measured = rect;
  int textHeight = DrawTextW(dc, text.c_str(), units, &measured,
                             DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
  if (height >= textHeight) {
    rect.top = (height - textHeight) / 2;
    DrawTextW(dc, text.c_str(), units, &rect, DT_WORDBREAK | DT_NOPREFIX);
  }
  GdiFlush();

  std::printf("height %d\n", textHeight);
  const auto* pixels = static_cast<const unsigned char*>(bits);  // blue, green, red, unused
  std::string row;
  for (int y = 0; y < height; ++y) {
    row.clear();
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = pixels + (static_cast<std::size_t>(y) * width + x) * 4;
      char hex[7];
      std::snprintf(hex, sizeof hex, "%02x%02x%02x", p[2], p[1], p[0]);
      row += hex;
    }
    std::printf("%s\n", row.c_str());
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return 0;
}

static int usage() {
  std::fprintf(stderr, "usage: winhelper COMMAND ... (see the source for the list)\n");
  return 2;
}

// Wine's tray draws tooltips and balloons as tooltip windows of its own;
// their text is the tip on show.
struct TipSearch {
  bool balloon;
  std::string text;
  HWND found;
};

static BOOL CALLBACK findTip(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TipSearch*>(param);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "tooltips_class32") != 0 || !IsWindowVisible(window)) return TRUE;
  const bool balloon = (GetWindowLongA(window, GWL_STYLE) & 0x40) != 0;  // TTS_BALLOON
  if (balloon != search->balloon) return TRUE;
  char text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, &ignored);
  search->found = window;
  for (const char* p = text; *p; ++p)
    search->text += *p == '\n' ? std::string("\\n") : std::string(1, *p);
  return FALSE;
}

static int printTip(bool balloon, DWORD ms) {
  if (!balloon) {
    // the tray of Wine's X11 driver or of its explorer, whichever shows the icons
    HWND icon = nullptr, tray = nullptr;
    while (!icon && (tray = FindWindowExA(nullptr, tray, nullptr, nullptr)) != nullptr) {
      icon = FindWindowExA(tray, nullptr, "__winex11_tray_icon", nullptr);
      if (!icon) icon = FindWindowExA(tray, nullptr, "__wine_tray_icon", nullptr);
    }
    RECT r = {};
    if (!icon || !GetWindowRect(icon, &r)) return 1;
    // Off the icon until no tooltip shows, so that the one read is shown
    // anew with the text the icon has now; then two moves onto it.
    SetCursorPos(r.right + 40, r.bottom + 40);
    for (DWORD waited = 0; waited < 2000; waited += 50) {
      TipSearch shown = {false, "", nullptr};
      EnumWindows(findTip, reinterpret_cast<LPARAM>(&shown));
      if (!shown.found) break;
      Sleep(50);
    }
    SetCursorPos((r.left + r.right) / 2 - 1, (r.top + r.bottom) / 2);
    Sleep(50);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  DWORD start = GetTickCount();
  do {
    TipSearch search = {balloon, "", nullptr};
    EnumWindows(findTip, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      if (balloon)
        std::printf("0x%llx ",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(search.found)));
      std::printf("%s\n", search.text.c_str());
      return 0;
    }
    Sleep(50);
  } while (GetTickCount() - start < ms);
  return 1;
}

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc < 2) return usage();
  std::string command = argv[1];

  if (command == "list") {
    ListFilter filter = {argc > 2 ? argv[2] : nullptr};
    EnumWindows(listOne, reinterpret_cast<LPARAM>(&filter));
    return 0;
  }
  if (command == "children" && argc > 2) {
    EnumChildWindows(parseWindow(argv[2]), listChild, 0);
    return 0;
  }
  if (command == "find" && argc > 2) {
    const char* title = argc > 3 && argv[3][0] ? argv[3] : nullptr;
    DWORD wait = argc > 4 ? std::strtoul(argv[4], nullptr, 0) : 5000;
    DWORD start = GetTickCount();
    for (;;) {
      HWND window = FindWindowA(argv[2], title);
      if (window) {
        std::printf("0x%llx\n",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
        return 0;
      }
      if (GetTickCount() - start >= wait) return 1;
      Sleep(20);
    }
  }
  if (command == "gone" && argc > 2) {
    HWND window = parseWindow(argv[2]);
    DWORD wait = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : 5000;
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
      if (GetTickCount() - start >= wait) return 1;
      Sleep(20);
    }
    return 0;
  }
  if ((command == "post" || command == "send") && argc > 3) {
    HWND window = parseWindow(argv[2]);
    UINT message = parseMessage(argv[3]);
    WPARAM w = parseNumber(argc, argv, 4);
    LPARAM l = static_cast<LPARAM>(parseNumber(argc, argv, 5));
    if (command == "post") return PostMessageA(window, message, w, l) ? 0 : 1;
    std::printf("%lld\n", static_cast<long long>(SendMessageA(window, message, w, l)));
    return 0;
  }
  if (command == "broadcast" && argc > 2) {
    return PostMessageA(HWND_BROADCAST, parseMessage(argv[2]), parseNumber(argc, argv, 3),
                        static_cast<LPARAM>(parseNumber(argc, argv, 4)))
               ? 0
               : 1;
  }
  if (command == "click" && argc > 3) {
    HWND button = GetDlgItem(parseWindow(argv[2]), std::atoi(argv[3]));
    if (!button) return 1;
    PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "settext" && argc > 4) {
    return SetDlgItemTextA(parseWindow(argv[2]), std::atoi(argv[3]), argv[4]) ? 0 : 1;
  }
  if (command == "gettext" && argc > 3) {
    char text[1024] = {};
    GetDlgItemTextA(parseWindow(argv[2]), std::atoi(argv[3]), text, sizeof text);
    std::printf("%s\n", text);
    return 0;
  }
  if (command == "foreground") {
    HWND window = GetForegroundWindow();
    char className[256] = {};
    GetClassNameA(window, className, sizeof className);
    std::printf("0x%llx %s\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
                className);
    return 0;
  }
  if (command == "activate" && argc > 2) {
    return SetForegroundWindow(parseWindow(argv[2])) ? 0 : 1;
  }
  if (command == "style" && argc > 2) {
    HWND window = parseWindow(argv[2]);
    std::printf("0x%lx 0x%lx\n", static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
    return 0;
  }
  if ((command == "tray" || command == "traydel") && argc > 3) {
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.hWnd = parseWindow(argv[2]);
    icon.uID = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
    // A modify that changes nothing succeeds only while the shell holds the icon.
    BOOL ok = Shell_NotifyIconA(command == "tray" ? NIM_MODIFY : NIM_DELETE, &icon);
    if (command == "tray") std::printf("%d\n", ok ? 1 : 0);
    return command == "tray" || ok ? 0 : 1;
  }
  if (command == "waittray" && argc > 4) {
    const DWORD limit = std::strtoul(argv[4], nullptr, 0);
    const DWORD start = GetTickCount();
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.uID = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
    while (GetTickCount() - start < limit) {
      icon.hWnd = FindWindowA(argv[2], nullptr);
      if (icon.hWnd && Shell_NotifyIconA(NIM_MODIFY, &icon)) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        unsigned long long ticks =
            (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        std::printf("%llu\n", ticks / 10 - 11644473600000000ULL);
        return 0;
      }
      Sleep(2);
    }
    return 1;
  }
  if (command == "cursor" && argc > 3) {
    return SetCursorPos(std::atoi(argv[2]), std::atoi(argv[3])) ? 0 : 1;
  }
  if (command == "key" && argc > 3) {
    HWND window = parseWindow(argv[2]);
    WPARAM key = std::strtoul(argv[3], nullptr, 0);
    PostMessageA(window, WM_KEYDOWN, key, 1);
    if (argc > 4) PostMessageA(window, WM_CHAR, static_cast<unsigned char>(argv[4][0]), 1);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
    return 0;
  }
  if (command == "track" && argc > 3) {
    DWORD limit = std::strtoul(argv[3], nullptr, 0);
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    auto elapsedMs = [&] {
      QueryPerformanceCounter(&now);
      return static_cast<DWORD>((now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart);
    };
    HWND window = nullptr;
    while (!(window = FindWindowA(argv[2], nullptr))) {
      if (elapsedMs() >= limit) return 1;
      Sleep(1);
    }
    char last[128] = "", line[128];
    bool shown = false;
    while (elapsedMs() < limit) {
      RECT r = {};
      GetWindowRect(window, &r);
      bool visible = IsWindowVisible(window) != 0;
      std::snprintf(
          line, sizeof line, "%ld %ld %ld %ld %d 0x%llx", r.left, r.top, r.right, r.bottom,
          visible ? 1 : 0,
          static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(GetForegroundWindow())));
      if (std::strcmp(line, last) != 0) {
        std::printf("%lu %s\n", elapsedMs(), line);
        std::fflush(stdout);
        std::strcpy(last, line);
      }
      if (visible) shown = true;
      if (shown && !visible) return 0;
      Sleep(1);
    }
    return 0;
  }
  if (command == "still" && argc > 5) {
    // Looks every millisecond from one process: a window seen still here has
    // not moved between two looks that a slower caller could have straddled.
    const LONG height = std::strtol(argv[3], nullptr, 0);
    const DWORD still = std::strtoul(argv[4], nullptr, 0);
    const DWORD limit = std::strtoul(argv[5], nullptr, 0);
    const DWORD start = GetTickCount();
    RECT last = {};
    DWORD since = start;
    bool seen = false;
    while (GetTickCount() - start < limit) {
      HWND window = FindWindowA(argv[2], nullptr);
      RECT r = {};
      const bool ok = window && IsWindowVisible(window) && GetWindowRect(window, &r) &&
                      (height == 0 || r.bottom - r.top == height);
      if (!ok || !seen || !EqualRect(&r, &last)) {
        seen = ok;
        last = r;
        since = GetTickCount();
      } else if (GetTickCount() - since >= still) {
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
      }
      Sleep(1);
    }
    return 1;
  }
  if ((command == "tip" || command == "balloon") && argc > 2) {
    return printTip(command == "balloon", static_cast<DWORD>(parseNumber(argc, argv, 2)));
  }
  if (command == "drawtext" && argc > 4) {
    return drawText(fromHex(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  }
  if (command == "workarea") {
    RECT r = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  return usage();
}
