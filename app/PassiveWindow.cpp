#include "app/PassiveWindow.h"

#include <commctrl.h>

#include <cstdint>

#include "app/SetupTexts.h"
#include "app/SetupWindow.h"
#include "engine/ScriptInterpreter.h"
#include "engine/UninstallRun.h"
#include "lang/Multilingual.h"

namespace {

constexpr int kSteps = 1000;
constexpr int kWidth = 460, kHeight = 150;
HWND gBar = nullptr;

LRESULT CALLBACK PassiveWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Nobody closes it: the run ends it (no cancel in a passive run).
  if (message == WM_CLOSE) return 0;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

PassiveProgressWindow::PassiveProgressWindow(HINSTANCE instance, bool uninstall) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PassiveWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kSetupWindowClass;
  RegisterClassA(&wc);
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r = {0, 0, kWidth, kHeight};
  AdjustWindowRect(&r, style, FALSE);
  const int width = r.right - r.left, height = r.bottom - r.top;
  window_ = CreateWindowExA(0, kSetupWindowClass, "Setup", style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                            instance, nullptr);
  if (!window_) return;
  // The window's own progress notes, translated as the window translates them.
  const ByteString note = uninstall ? Unit1Text(kTextRemoving) : TranslateDefault("Die Installation l\xE4uft - bitte warten ...");
  CreateWindowExA(0, "STATIC", note.c_str(), WS_CHILD | WS_VISIBLE, 30, 36, kWidth - 60, 20, window_, nullptr,
                  instance, nullptr);
  bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 30, 70, kWidth - 60, 18, window_, nullptr,
                         instance, nullptr);
  SendMessageA(bar_, PBM_SETRANGE32, 0, kSteps);
  gBar = bar_;
  SetRunProgressHook(Report);
  SetUninstallProgressHook(Report);
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  PumpMessages();
}

PassiveProgressWindow::~PassiveProgressWindow() {
  SetRunProgressHook(nullptr);
  SetUninstallProgressHook(nullptr);
  gBar = nullptr;
  if (window_) DestroyWindow(window_);
}

void PassiveProgressWindow::Report(uint64_t done, uint64_t total) {
  if (gBar && total > 0) {
    const uint64_t step = done >= total ? kSteps : done * kSteps / total;
    if (static_cast<LRESULT>(step) != SendMessageA(gBar, PBM_GETPOS, 0, 0))
      SendMessageA(gBar, PBM_SETPOS, static_cast<WPARAM>(step), 0);
  }
  PumpMessages();
}
