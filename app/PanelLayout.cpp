#include "app/PanelLayout.h"

#include <algorithm>
#include "app/GlyphButton.h"

namespace {

// What a push button draws around its text (96 DPI); a check box's margin
// is kCheckBoxMargin.
constexpr int kButtonExtra = 16;
// The gap kept between a control that grew and the next one on its row.
constexpr int kRowGap = 6;

int TextExtent(const FormControl& control, UINT format) {
  wchar_t text[4096];
  const int length = GetWindowTextW(control.Handle(), text, 4096);
  return MeasureText(control.Handle(), control.FontHandle(), text, length, format).cx;
}

bool RowsOverlap(const RECT& a, const RECT& b) { return a.top < b.bottom && b.top < a.bottom; }

RECT ScaledDesign(const FormControl& control, int dpi) {
  const RECT d = control.DesignRect();
  return {ScaleToDpi(d.left, dpi), ScaleToDpi(d.top, dpi), ScaleToDpi(d.right, dpi), ScaleToDpi(d.bottom, dpi)};
}

}  // namespace

int NeededWidth(const FormControl& control, int dpi) {
  HWND hwnd = control.Handle();
  if (!hwnd) return 0;
  char className[32] = {};
  GetClassNameA(hwnd, className, sizeof className);
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  if (lstrcmpiA(className, "STATIC") == 0) {
    // A static text of fixed size wraps its words; one sized to its text
    // or kept on one line needs the text's width.
    const bool wraps = (style & SS_TYPEMASK) == SS_LEFT && !control.AutoSize();
    return wraps ? 0 : TextExtent(control, DT_LEFT | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
  }
  if (lstrcmpiA(className, "BUTTON") != 0) return 0;
  const int text = TextExtent(control, DT_SINGLELINE);
  switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return text + ScaleToDpi(kCheckBoxMargin, dpi);
    case BS_OWNERDRAW:
      return text + ScaleToDpi(kGlyphSize + kGlyphSpacing + kButtonExtra, dpi);
    case BS_GROUPBOX:
      return 0;
    default:
      return text + ScaleToDpi(kButtonExtra, dpi);
  }
}

SIZE LayOutControls(const std::vector<FormControl*>& controls, int dpi) {
  std::vector<RECT> rects;
  std::vector<int> needed;
  for (FormControl* control : controls) {
    RECT r = ScaledDesign(*control, dpi);
    // A label sized to its text has no design size: it takes its text's.
    if (control->AutoSize()) {
      control->FitToText();
      RECT now;
      GetWindowRect(control->Handle(), &now);
      r.right = r.left + (now.right - now.left);
      r.bottom = r.top + (now.bottom - now.top);
    }
    needed.push_back(NeededWidth(*control, dpi));
    rects.push_back(r);
  }
  // From left to right, so that a push carries on along the row.
  std::vector<std::size_t> order(controls.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return rects[a].left < rects[b].left; });
  for (std::size_t n = 0; n < order.size(); ++n) {
    RECT& r = rects[order[n]];
    r.right = std::max<LONG>(r.right, r.left + needed[order[n]]);
    for (std::size_t m = n + 1; m < order.size(); ++m) {
      RECT& next = rects[order[m]];
      const LONG least = r.right + ScaleToDpi(kRowGap, dpi);
      if (next.left > r.left && RowsOverlap(r, next) && next.left < least) OffsetRect(&next, least - next.left, 0);
    }
  }
  SIZE extent = {0, 0};
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const RECT& r = rects[i];
    // A stretched design width counts only as far as the text needs it.
    const LONG right = needed[i] > 0 ? std::min<LONG>(r.right, r.left + needed[i]) : r.right;
    extent.cx = std::max<LONG>(extent.cx, right + ScaleToDpi(kPanelMargin, dpi));
    extent.cy = std::max<LONG>(extent.cy, r.bottom + ScaleToDpi(kPanelMargin, dpi));
    SetWindowPos(controls[i]->Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return extent;
}

void FitIntoWidth(const std::vector<FormControl*>& controls, int parentWidth, int dpi) {
  const int inner = parentWidth - ScaleToDpi(kPanelMargin, dpi);
  for (FormControl* control : controls) {
    RECT r;
    GetWindowRect(control->Handle(), &r);
    MapWindowPoints(nullptr, GetParent(control->Handle()), reinterpret_cast<POINT*>(&r), 2);
    const int needed = NeededWidth(*control, dpi);
    if (r.right <= inner || needed == 0) continue;
    const int width = std::max<int>(needed, inner - r.left);
    SetWindowPos(control->Handle(), nullptr, 0, 0, width, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}
