#include "app/GlyphButton.h"
#include <cstddef>

namespace {

// The mark's outline in glyph coordinates (18 x 18): a short stroke down to
// the bottom point, then the long stroke up to the right.
const POINT kMark[] = {{2, 9}, {5, 6}, {8, 9}, {14, 2}, {17, 5}, {8, 15}};

void FillMark(HDC dc, int x, int y, int dpi, COLORREF fill, COLORREF outline) {
  POINT points[sizeof kMark / sizeof kMark[0]];
  for (std::size_t i = 0; i < sizeof kMark / sizeof kMark[0]; ++i) {
    points[i].x = x + MulDiv(kMark[i].x, dpi, 96);
    points[i].y = y + MulDiv(kMark[i].y, dpi, 96);
  }
  HBRUSH brush = CreateSolidBrush(fill);
  HPEN pen = CreatePen(PS_SOLID, 1, outline);
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  Polygon(dc, points, sizeof kMark / sizeof kMark[0]);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
}

}  // namespace

void DrawCheckGlyph(HDC dc, int x, int y, bool enabled, int dpi) {
  if (enabled) {
    FillMark(dc, x, y, dpi, RGB(0, 160, 0), RGB(0, 96, 0));
  } else {
    // The greyed copy: a white shadow one pixel down-right under a grey mark.
    FillMark(dc, x + 1, y + 1, dpi, RGB(255, 255, 255), RGB(255, 255, 255));
    FillMark(dc, x, y, dpi, RGB(160, 160, 160), RGB(128, 128, 128));
  }
}

void DrawGlyphButton(const DRAWITEMSTRUCT& item, bool isDefault, int dpi) {
  const int glyph = MulDiv(kGlyphSize, dpi, 96), spacing = MulDiv(kGlyphSpacing, dpi, 96);
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  bool pressed = (item.itemState & ODS_SELECTED) != 0;
  bool disabled = (item.itemState & ODS_DISABLED) != 0;
  bool focused = (item.itemState & ODS_FOCUS) != 0;

  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (isDefault || focused) {
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

  // The caption as the control holds it (UTF-16): the narrow drawing call
  // would read the bytes in the font's character set, not the system's.
  wchar_t caption[256];
  int length = GetWindowTextW(item.hwndItem, caption, 256);
  if (length < 0) length = 0;
  RECT textRect = {0, 0, 0, 0};
  DrawTextW(dc, caption, length, &textRect, DT_CALCRECT | DT_SINGLELINE);
  int textWidth = textRect.right - textRect.left;
  int textHeight = textRect.bottom - textRect.top;
  int total = glyph + (length > 0 ? spacing + textWidth : 0);
  int shift = pressed ? 1 : 0;
  int x = (r.left + r.right - total) / 2 + shift;
  int cy = (r.top + r.bottom) / 2 + shift;

  DrawCheckGlyph(dc, x, cy - glyph / 2, !disabled, dpi);
  if (length > 0) {
    RECT t = {x + glyph + spacing, cy - textHeight / 2, 0, 0};
    t.right = t.left + textWidth;
    t.bottom = t.top + textHeight;
    SetBkMode(dc, TRANSPARENT);
    if (disabled) {
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      RECT s = t;
      OffsetRect(&s, 1, 1);
      DrawTextW(dc, caption, length, &s, DT_SINGLELINE);
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextW(dc, caption, length, &t, DT_SINGLELINE);
  }
  if (focused) {
    RECT f = r;
    InflateRect(&f, -4, -4);
    DrawFocusRect(dc, &f);
  }
}
