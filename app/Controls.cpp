#include "app/Controls.h"

#include <string>

const char* const kPanelClassName = "TKwSetupPanel";

HFONT CreateFontFromDesc(const FontDesc& desc, int dpi) {
  return CreateFontA(-ScaleToDpi(desc.height, dpi), 0, 0, 0, desc.bold ? FW_BOLD : FW_NORMAL, desc.italic ? TRUE : FALSE,
                     FALSE, FALSE, desc.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, desc.face.c_str());
}

ByteString FromWindows1252(const char* text) {
  ByteString bytes = text ? text : "";
  if (bytes.empty() || GetACP() == 1252) return bytes;
  int n = MultiByteToWideChar(1252, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return bytes;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(1252, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
  int m = WideCharToMultiByte(CP_ACP, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return bytes;
  ByteString converted(static_cast<std::size_t>(m), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &converted[0], m, nullptr, nullptr);
  return converted;
}

FormControl::FormControl(ControlHost& host, MLComponentKind kind, HWND hwnd, FormControl* parent,
                         bool autoSize)
    : host_(host), kind_(kind), hwnd_(hwnd), parent_(parent), autoSize_(autoSize) {
  if (hwnd_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
  FitToText();
}

FormControl::~FormControl() {
  if (ownFont_) DeleteObject(ownFont_);
}

ByteString FormControl::Text() const {
  if (!hwnd_) return ByteString();
  char buffer[4096];
  int n = GetWindowTextA(hwnd_, buffer, sizeof buffer);
  return ByteString(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void FormControl::SetText(const ByteString& text) {
  if (!hwnd_) return;
  SetWindowTextA(hwnd_, text.c_str());
  FitToText();
}

int FormControl::Width() const {
  if (!hwnd_) return 0;
  RECT r;
  GetWindowRect(hwnd_, &r);
  return r.right - r.left;
}

void FormControl::SetWidth(int width) {
  if (!hwnd_) return;
  RECT r;
  GetWindowRect(hwnd_, &r);
  SetWindowPos(hwnd_, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

const FontDesc& FormControl::Font() const {
  if (!parentFont_) return ownDesc_;
  return parent_ ? parent_->Font() : host_.FormFont();
}

HFONT FormControl::FontHandle() const {
  if (!parentFont_) return ownFont_;
  return parent_ ? parent_->FontHandle() : host_.FormFontHandle();
}

uint8_t FormControl::FontCharset() const { return Font().charset; }

void FormControl::SetFontCharset(uint8_t charset) {
  FontDesc desc = Font();
  desc.charset = charset;
  SetOwnFont(desc);
}

void FormControl::SetOwnFont(const FontDesc& desc) {
  HFONT old = ownFont_;
  ownDesc_ = desc;
  ownFont_ = CreateFontFromDesc(desc, host_.Dpi());
  parentFont_ = false;
  if (hwnd_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(ownFont_), TRUE);
  if (old) DeleteObject(old);
  FitToText();
}

void FormControl::DpiChanged() {
  if (!parentFont_) SetOwnFont(ownDesc_);
}

void FormControl::FormFontChanged() {
  if (!parentFont_ || !hwnd_) return;
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
  FitToText();
}

MLComponent* FormControl::Parent() const {
  if (!hwnd_) return nullptr;
  if (parent_) return parent_;
  return host_.AsComponent();
}

SIZE MeasureText(HWND window, HFONT font, const wchar_t* text, int length, UINT format) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r = {0, 0, 0, 0};
  if (length <= 0) {
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    r.bottom = tm.tmHeight;
  } else {
    DrawTextW(dc, text, length, &r, DT_CALCRECT | format);
  }
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void FormControl::FitToText() {
  if (!autoSize_ || !hwnd_) return;
  wchar_t text[4096];
  const int length = GetWindowTextW(hwnd_, text, 4096);
  const SIZE size = MeasureText(hwnd_, FontHandle(), text, length, DT_LEFT);
  SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH PanelBrush() {
  static HBRUSH brush = CreateSolidBrush(RGB(208, 208, 208));
  return brush;
}

namespace {

// Panels pass their children's notifications up to the window, which acts
// on them by control id, and paint their children on the panel colour.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_DRAWITEM:
      return SendMessageA(GetParent(hwnd), message, wParam, lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, RGB(208, 208, 208));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(PanelBrush());
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, PanelBrush());
      DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_RECT);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

ATOM RegisterPanelClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PanelProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kPanelClassName;
  return RegisterClassA(&wc);
}
