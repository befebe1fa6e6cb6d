#include "popup/popup.h"

#include "popup/popup_rules.h"
#include "popup/status_list.h"

// The form without the padded border, which every version accepts.
static_assert(sizeof(NONCLIENTMETRICSW) == 500, "NONCLIENTMETRICSW of 500 bytes expected");

void fillGradient(HDC dc, int width, int height) {
  TRIVERTEX vertices[2] = {};
  vertices[0].Red = 0x9A00;  // light blue (154, 190, 255) at the left edge
  vertices[0].Green = 0xBE00;
  vertices[0].Blue = 0xFF00;
  vertices[0].Alpha = 0xFF00;
  vertices[1].x = width;
  vertices[1].y = height;
  vertices[1].Red = 0xFF00;  // white at the right edge
  vertices[1].Green = 0xFF00;
  vertices[1].Blue = 0xFF00;
  vertices[1].Alpha = 0xFF00;
  GRADIENT_RECT rectangle = {0, 1};
  GradientFill(dc, vertices, 2, &rectangle, 1, GRADIENT_FILL_RECT_H);
}

HFONT createMessageFont() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

// UTF-8 to UTF-16, characters past U+FFFF as surrogate pairs.
int wideText(const char* utf8, wchar_t* wide, int capacity) {
  if (capacity <= 0) return 0;
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, capacity);
  wide[capacity - 1] = 0;
  return units > 0 ? units - 1 : 0;  // 0 also when it did not fit, which popupText always does
}

// The popup's text as drawn: each UTF-8 byte gives at most one UTF-16 unit.
// Kept here, not made on each paint: a paint never fails for want of memory.
static wchar_t paintText[popupTextSize];

void paintPopup(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const int width = popupRight - popupLeft;
  const int height = popupBottom - popupTop;
  // The whole window's size: the strips under the client edge are clipped.
  RECT layout = {0, 0, width, height};
  fillGradient(dc, width, height);
  SetTextColor(dc, RGB(0, 0, 0));

  HFONT font = createMessageFont();  // read and made anew on every paint
  HGDIOBJ previousFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);

  // Drawn as Unicode, so every character shows as sent whatever the code page.
  // The timeline is data, not a label: an '&' is shown, never a mnemonic.
  const int length = wideText(popupText != nullptr ? popupText : "", paintText, popupTextSize);
  const wchar_t* text = paintText;
  RECT measured = layout;
  const int textHeight = DrawTextW(dc, text, length, &measured,
                                   DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
  popupHeight = fullPopupHeight(textHeight, workArea.bottom - workArea.top);
  if (auto top = textTop(height, textHeight, popupHeight)) {
    layout.top = *top;
    DrawTextW(dc, text, length, &layout, DT_WORDBREAK | DT_NOPREFIX);
  }

  SelectObject(dc, previousFont);
  DeleteObject(font);
  EndPaint(window, &paint);
}
