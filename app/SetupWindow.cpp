// The setup window: building its controls, its window procedure and the
// glue that the multilingual system needs. The flows are in SetupFlows.cpp.
#include "app/SetupWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>
#include "app/GlyphButton.h"
#include "app/MessageBoxes.h"
#include "app/PanelLayout.h"
#include "platform/win32/SystemCalls.h"
#include "engine/PackedStream.h"
#include "engine/RunJournal.h"
#include "engine/ScriptInterpreter.h"
#include "engine/UninstallRun.h"

const char* const kSetupWindowClass = "TKwSetupForm1";
TKwSetupForm1* KwSetupForm1 = nullptr;

namespace {

constexpr int kDesignClientWidth = 688;
constexpr int kDesignClientHeight = 453;
const COLORREF kNavy = RGB(0, 0, 128);
// The check of the packed files has ended (posted from the checking thread).
constexpr UINT kPackedCheckDoneMessage = WM_APP + 1;
HWND gCheckListener = nullptr;

void PackedCheckDone() {
  if (HWND window = gCheckListener) PostMessageA(window, kPackedCheckDoneMessage, 0, 0);
}

void RunProgressHook(uint64_t done, uint64_t total) {
  if (KwSetupForm1) KwSetupForm1->ShowRunProgress(done, total);
}

// Logging off or shutting down waits while a run lasts, with the reason
// shown; older systems lack the calls (they ask the window alone).
using BlockReasonCreateFn = BOOL(WINAPI*)(HWND, LPCWSTR);
using BlockReasonDestroyFn = BOOL(WINAPI*)(HWND);

void BlockShutdown(HWND window, const ByteString& reason) {
  const auto create = SystemCall<BlockReasonCreateFn>("user32.dll", "ShutdownBlockReasonCreate");
  if (!create) return;
  const int n = MultiByteToWideChar(CP_ACP, 0, reason.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 1), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, reason.c_str(), -1, &wide[0], n);
  create(window, wide.c_str());
}

void AllowShutdown(HWND window) {
  const auto destroy = SystemCall<BlockReasonDestroyFn>("user32.dll", "ShutdownBlockReasonDestroy");
  if (destroy) destroy(window);
}

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The DPI of the monitor the window is on; systems before Windows 10 know
// only the one DPI of the screen.
int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = SystemCall<GetDpiForWindowFn>("user32.dll", "GetDpiForWindow");
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HBRUSH NavyBrush() {
  static HBRUSH brush = CreateSolidBrush(kNavy);
  return brush;
}

}  // namespace

TKwSetupForm1::TKwSetupForm1() {
  formFont_.face = "Verdana";
  formFont_.height = 13;
  formFontHandle_ = CreateFontFromDesc(formFont_);
}

TKwSetupForm1::~TKwSetupForm1() {
  ApplicationForms().Unregister(this);
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  components_.clear();
  if (formFontHandle_) DeleteObject(formFontHandle_);
  if (KwSetupForm1 == this) KwSetupForm1 = nullptr;
}

bool TKwSetupForm1::Create(HINSTANCE instance) {
  instance_ = instance;
  RegisterPanelClass(instance);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  if (!wc.hIcon) wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = NavyBrush();
  wc.lpszClassName = kSetupWindowClass;
  if (!RegisterClassA(&wc)) return false;

  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  dpi_ = WindowDpi(nullptr);
  RECT r = {0, 0, ScaleToDpi(kDesignClientWidth, dpi_), ScaleToDpi(kDesignClientHeight, dpi_)};
  AdjustWindowRect(&r, style, FALSE);
  KwSetupForm1 = this;
  hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, kSetupWindowClass, "", style, CW_USEDEFAULT, CW_USEDEFAULT,
                          r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  dpi_ = WindowDpi(hwnd_);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  BuildControls();
  // Runs report to the window: it moves its progress bar and keeps answering.
  gCheckListener = hwnd_;
  SetPackedCheckDoneHook(PackedCheckDone);
  SetRunProgressHook(RunProgressHook);
  SetUninstallProgressHook(RunProgressHook);
  SetRollbackProgressHook(RollbackProgressHook);
  ApplicationForms().Register(this);
  Guarded([this] { FormCreate(); });
  return true;
}

void TKwSetupForm1::Show() {
  ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
  if (CurrentPanel == AskPanel) SetFocus(StartBtn->Handle());
  else if (CurrentPanel == UninstAskPanel) SetFocus(UninstStartBtn->Handle());
}

FormControl* TKwSetupForm1::AddControl(MLComponentKind kind, FormControl* parent, const char* windowClass,
                                       const char* caption, DWORD style, int left, int top, int width,
                                       int height, int id, bool autoSize) {
  HWND parentWindow = parent ? parent->Handle() : hwnd_;
  ByteString text = FromWindows1252(caption);
  HWND hwnd = CreateWindowExA(kind == MLComponentKind::Panel ? WS_EX_CONTROLPARENT : 0, windowClass, text.c_str(),
                              WS_CHILD | style, left, top, width, height, parentWindow,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  components_.push_back(std::make_unique<FormControl>(*this, kind, hwnd, parent, autoSize));
  components_.back()->SetDesignRect({left, top, left + width, top + height});
  return components_.back().get();
}

FormControl* TKwSetupForm1::AddComponent() {
  components_.push_back(
      std::make_unique<FormControl>(*this, MLComponentKind::OtherComponent, nullptr, nullptr, false));
  return components_.back().get();
}

// The layout at 96 DPI, in the order of ownership; LayOut scales it and fits
// it to the texts. Within a panel, windows are made from top to bottom, as
// the dialog manager tabs and a screen reader reads in creation order.
void TKwSetupForm1::BuildControls() {
  using K = MLComponentKind;
  const DWORD label = WS_VISIBLE | SS_LEFT;
  SetupTaskLabel = AddControl(K::Label, nullptr, "STATIC", "Setup f\xFCr", label, 28, 24, 93, 24, kIdLabel, true);
  FontDesc taskFont{"Arial", 21, true, false, ANSI_CHARSET};
  SetupTaskLabel->SetOwnFont(taskFont);
  Label6 = AddControl(K::Label, nullptr, "STATIC", "Quillon", label | SS_LEFTNOWORDWRAP, 28, 48, 621, 35,
                      kIdLabel, false);
  FontDesc nameFont{"Arial", 31, true, true, ANSI_CHARSET};
  Label6->SetOwnFont(nameFont);

  AskPanel = AddControl(K::Panel, nullptr, kPanelClassName, "", WS_CLIPSIBLINGS, 156, 104, 513, 269, 0, false);
  VersionStaticText = AddControl(K::OtherControl, AskPanel, "STATIC", "", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 20,
                                 16, 473, 49, kIdVersionStaticText, false);
  // The label right before the edit box names it for a screen reader.
  Label8 = AddControl(K::Label, AskPanel, "STATIC", "Programm-Ordner", label, 20, 78, 0, 0, kIdLabel, true);
  PgmPathEd = AddControl(K::OtherControl, AskPanel, "EDIT", "",
                         WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 20, 96, 477, 24, kIdPgmPathEd, false);
  ChooseBtn = AddControl(K::Button, AskPanel, "BUTTON", "Durchsuchen ...",
                         WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, 374, 72, 123, 21, kIdChooseBtn, false);
  // For whom: one group of two, under the folder; shown where the system
  // has a per-user program folder.
  AllUsersRadio = AddControl(K::CheckBox, AskPanel, "BUTTON", "f\xFCr alle Benutzer",
                             WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 20, 124, 180, 17, kIdAllUsersRadio, false);
  CurrentUserRadio = AddControl(K::CheckBox, AskPanel, "BUTTON", "nur f\xFCr mich", BS_AUTORADIOBUTTON, 210, 124,
                                180, 17, kIdCurrentUserRadio, false);
  CreateDesktopLinkCheck =
      AddControl(K::CheckBox, AskPanel, "BUTTON", "Verkn\xFCpfung zu Quillon auf dem Desktop erstellen",
                 WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX, 20, 146, 409, 17, kIdCreateDesktopLinkCheck,
                 false);
  eBayCheck = AddControl(K::CheckBox, AskPanel, "BUTTON",
                         "Verkn\xFCpfungen zu eBay auf dem Desktop und in der Schnellstartleiste anlegen",
                         WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 20, 166, 493, 17, kIdEBayCheck, false);
  Label4 = AddControl(K::Label, AskPanel, "STATIC", "Installation starten?", label, 156, 192, 0, 0, kIdLabel, true);
  StartBtn = AddControl(K::Button, AskPanel, "BUTTON", "Ja", WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, 156, 216, 90,
                        33, kIdStartBtn, false);
  NoBtn = AddControl(K::Button, AskPanel, "BUTTON", "Abbrechen", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY,
                     256, 216, 90, 33, kIdNoBtn, false);
  SetChecked(CreateDesktopLinkCheck, true);
  SetChecked(eBayCheck, true);

  ProgressPanel = AddControl(K::Panel, nullptr, kPanelClassName, "", WS_CLIPSIBLINGS, 252, 384, 417, 129, 0, false);
  ProgressLabel = AddControl(K::Label, ProgressPanel, "STATIC", "Die Installation l\xE4uft - bitte warten ...",
                             label, 44, 56, 0, 0, kIdLabel, true);
  // Not one of the form's translated components: it has no text.
  progressBar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 44, 84, 329, 18,
                                 ProgressPanel->Handle(), nullptr, instance_, nullptr);
  SendMessageA(progressBar_, PBM_SETRANGE32, 0, kProgressSteps);
  CancelBtn = AddControl(K::Button, ProgressPanel, "BUTTON", "Abbrechen",
                         WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, (kProgressPanelWidth - 90) / 2, 120,
                         90, 29, kIdCancelBtn, false);

  UninstAskPanel =
      AddControl(K::Panel, nullptr, kPanelClassName, "", WS_CLIPSIBLINGS, 8, 404, 409, 121, 0, false);
  Label7 = AddControl(K::Label, UninstAskPanel, "STATIC", "M\xF6\x63hten Sie Quillon von Ihrem Computer entfernen?",
                      label, 20, 24, 0, 0, kIdLabel, true);
  UninstStartBtn = AddControl(K::Button, UninstAskPanel, "BUTTON", "Ja",
                              WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, 104, 68, 90, 29,
                              kIdUninstStartBtn, false);
  UninstNoBtn = AddControl(K::Button, UninstAskPanel, "BUTTON", "Abbrechen",
                           WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, 208, 68, 90, 29, kIdUninstNoBtn,
                           false);

  FirstCheckTimer = AddComponent();
  OpenDialog = AddComponent();
  XPManifest1 = AddComponent();
}

ByteString TKwSetupForm1::Text() const {
  char buffer[4096];
  int n = hwnd_ ? GetWindowTextA(hwnd_, buffer, sizeof buffer) : 0;
  return ByteString(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void TKwSetupForm1::SetText(const ByteString& text) {
  if (hwnd_) SetWindowTextA(hwnd_, text.c_str());
}

int TKwSetupForm1::Width() const {
  RECT r = {0, 0, 0, 0};
  if (hwnd_) GetWindowRect(hwnd_, &r);
  return r.right - r.left;
}

void TKwSetupForm1::SetWidth(int width) {
  RECT r;
  GetWindowRect(hwnd_, &r);
  SetWindowPos(hwnd_, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A new character set for the form's font: controls that follow the form's
// font are given the new one.
void TKwSetupForm1::SetFontCharset(uint8_t charset) {
  if (charset == formFont_.charset) return;
  HFONT old = formFontHandle_;
  formFont_.charset = charset;
  formFontHandle_ = CreateFontFromDesc(formFont_, dpi_);
  for (auto& component : components_) component->FormFontChanged();
  if (old) DeleteObject(old);
}

std::vector<FormControl*> TKwSetupForm1::ControlsOf(const FormControl* panel) const {
  const MLComponent* parent = panel ? static_cast<const MLComponent*>(panel) : this;
  std::vector<FormControl*> controls;
  for (const auto& component : components_) {
    if (!component->Handle() || component->Parent() != parent) continue;
    if (!(GetWindowLongA(component->Handle(), GWL_STYLE) & WS_VISIBLE)) continue;
    if (component->Kind() == MLComponentKind::Panel) continue;
    controls.push_back(component.get());
  }
  return controls;
}

void TKwSetupForm1::LayOut() {
  HFONT old = formFontHandle_;
  formFontHandle_ = CreateFontFromDesc(formFont_, dpi_);
  for (auto& component : components_) {
    component->DpiChanged();
    component->FormFontChanged();
  }
  if (old) DeleteObject(old);
  // The progress panel follows its label (LayOutProgressPanel); the
  // question panels grow to what their controls need.
  for (FormControl* panel : {AskPanel, UninstAskPanel}) {
    const std::vector<FormControl*> controls = ControlsOf(panel);
    const SIZE extent = LayOutControls(controls, dpi_);
    const RECT design = panel->DesignRect();
    const int width = std::max<int>(ScaleToDpi(design.right - design.left, dpi_), extent.cx);
    const int height = std::max<int>(ScaleToDpi(design.bottom - design.top, dpi_), extent.cy);
    SetWindowPos(panel->Handle(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    FitIntoWidth(controls, width, dpi_);
  }
  LayOutControls(ControlsOf(nullptr), dpi_);
  LayOutProgressPanel();
  CenterPanel();
}

MLComponent* TKwSetupForm1::OwnedAt(int index) const {
  if (index < 0 || index >= OwnedCount()) return nullptr;
  return components_[static_cast<std::size_t>(index)].get();
}

int TKwSetupForm1::TextWidth(const MLComponent& fontOf, const ByteString& text) {
  HFONT font = formFontHandle_;
  if (auto control = dynamic_cast<const FormControl*>(&fontOf)) font = control->FontHandle();
  const int n = text.empty() ? 0
                             : MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  // One line, "&" as written: the width the text's own extent gives.
  return MeasureText(hwnd_, font, wide.c_str(), n, DT_SINGLELINE | DT_NOPREFIX).cx;
}

bool TKwSetupForm1::IsChecked(FormControl* check) const {
  return SendMessageA(check->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TKwSetupForm1::SetChecked(FormControl* check, bool checked) {
  SendMessageA(check->Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TKwSetupForm1::DefaultButtonId() const {
  if (CurrentPanel == AskPanel) return kIdStartBtn;
  if (CurrentPanel == UninstAskPanel) return kIdUninstStartBtn;
  return 0;
}

template <typename Handler>
void TKwSetupForm1::Guarded(Handler handler) {
  // A run that ends by a raised failure leaves the progress panel on
  // screen; closing the window must be possible then.
  try {
    handler();
  } catch (const std::exception& error) {
    busy_ = false;
    ShowApplicationError(error.what());
  } catch (...) {
    busy_ = false;
    ShowApplicationError("Unbekannter Fehler");
  }
}

void TKwSetupForm1::OnCommand(int id) {
  // Only the controls of the panel on screen answer; Enter and Esc arrive
  // here by id as well.
  switch (id) {
    case kIdStartBtn:
      if (CurrentPanel == AskPanel) Guarded([this] { StartBtnClick(); });
      break;
    case kIdNoBtn:
    case IDCANCEL:
      if (CurrentPanel == AskPanel) Guarded([this] { NoBtnClick(); });
      else if (CurrentPanel == UninstAskPanel) Guarded([this] { UninstNoBtnClick(); });
      else if (CurrentPanel == ProgressPanel) Guarded([this] { CancelBtnClick(); });
      break;
    case kIdCancelBtn:
      if (CurrentPanel == ProgressPanel) Guarded([this] { CancelBtnClick(); });
      break;
    case kIdChooseBtn:
      if (CurrentPanel == AskPanel) Guarded([this] { ChooseBtnClick(); });
      break;
    case kIdAllUsersRadio:
    case kIdCurrentUserRadio:
      if (CurrentPanel == AskPanel)
        Guarded([this, id] {
          ScopeRadioClick(id == kIdCurrentUserRadio ? InstallScope::CurrentUser : InstallScope::AllUsers);
        });
      break;
    case kIdUninstStartBtn:
      if (CurrentPanel == UninstAskPanel) Guarded([this] { UninstStartBtnClick(); });
      break;
    case kIdUninstNoBtn:
      if (CurrentPanel == UninstAskPanel) Guarded([this] { UninstNoBtnClick(); });
      break;
    case IDOK: {
      int def = DefaultButtonId();
      if (def) OnCommand(def);
      break;
    }
  }
}

LRESULT CALLBACK TKwSetupForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TKwSetupForm1* form = nullptr;
  if (message == WM_NCCREATE) {
    auto cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
    form = static_cast<TKwSetupForm1*>(cs->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->hwnd_ = hwnd;
  } else {
    form = reinterpret_cast<TKwSetupForm1*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
  // No failure may leave the window procedure.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT TKwSetupForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      int code = HIWORD(wParam);
      if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
        // The start button shows the default frame only while no other
        // button has the focus.
        if (StartBtn) InvalidateRect(StartBtn->Handle(), nullptr, FALSE);
        return 0;
      }
      if (code == BN_CLICKED || lParam == 0) OnCommand(id);
      return 0;
    }
    case DM_GETDEFID: {
      // Enter clicks the focused push button, else the panel's default button.
      HWND focus = GetFocus();
      if (focus && IsChild(hwnd_, focus) && (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)) {
        int id = GetDlgCtrlID(focus);
        if (id == kIdNoBtn || id == kIdChooseBtn || id == kIdUninstNoBtn || id == kIdUninstStartBtn ||
            id == kIdStartBtn || id == kIdCancelBtn)
          return MAKELONG(id, DC_HASDEFID);
      }
      int def = DefaultButtonId();
      return def ? MAKELONG(def, DC_HASDEFID) : 0;
    }
    case WM_DRAWITEM: {
      auto item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID == static_cast<UINT>(kIdStartBtn)) {
        HWND focus = GetFocus();
        bool otherButton = focus && focus != item->hwndItem &&
                           (focus == NoBtn->Handle() || focus == ChooseBtn->Handle());
        DrawGlyphButton(*item, !otherButton, dpi_);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC: {
      // The labels on the window itself: white on navy.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(255, 255, 255));
      SetBkColor(dc, kNavy);
      return reinterpret_cast<LRESULT>(NavyBrush());
    }
    case WM_SIZE:
      Guarded([this] { FormResize(); });
      return 0;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: the window takes the size the
      // system proposes and lays itself out anew.
      dpi_ = HIWORD(wParam);
      const RECT* proposed = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, proposed->left, proposed->top, proposed->right - proposed->left,
                   proposed->bottom - proposed->top, SWP_NOZORDER | SWP_NOACTIVATE);
      Guarded([this] { LayOut(); });
      InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kFirstCheckTimerId) Guarded([this] { FirstCheckTimerTimer(); });
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        focusBeforeDeactivate_ = GetFocus();
      } else if (focusBeforeDeactivate_ && IsWindow(focusBeforeDeactivate_) &&
                 IsWindowVisible(focusBeforeDeactivate_)) {
        SetFocus(focusBeforeDeactivate_);
        return 0;
      }
      break;
    case kPackedCheckDoneMessage:
      // Packed files found corrupt while the question is on screen: the
      // question goes and the failure shows as if it had come before it. A
      // run already started meets the failure itself, before its first file.
      if (!busy_ && CurrentPanel == AskPanel && PackedCheckFailed()) {
        KillTimer(hwnd_, kFirstCheckTimerId);
        ShowPanel(nullptr);
        Guarded([] { RaisePackedCheckFailure(); });
      }
      return 0;
    case WM_CLOSE:
      // The close box and Alt+F4 during an install ask to cancel it; any
      // other run cannot be interrupted.
      if (busy_) {
        if (CancelOffered()) Guarded([this] { CancelBtnClick(); });
        return 0;
      }
      DestroyWindow(hwnd_);
      return 0;
    case WM_QUERYENDSESSION:
      return running_ ? FALSE : TRUE;
    case WM_DESTROY:
      KillTimer(hwnd_, kFirstCheckTimerId);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void TKwSetupForm1::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!hwnd_ || !IsWindow(hwnd_) || !IsDialogMessageA(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void TKwSetupForm1::ShowRunProgress(uint64_t done, uint64_t total) {
  if (running_ && runKind_ == RunKind::Install) {
    if (RunCommitStarted()) ShowWindow(CancelBtn->Handle(), SW_HIDE);
  }
  if (progressBar_ && total > 0) {
    const uint64_t step = done >= total ? kProgressSteps : done * kProgressSteps / total;
    if (static_cast<LRESULT>(step) != SendMessageA(progressBar_, PBM_GETPOS, 0, 0))
      SendMessageA(progressBar_, PBM_SETPOS, static_cast<WPARAM>(step), 0);
  }
  ProcessMessages();
}

void TKwSetupForm1::RollbackProgressHook(uint64_t undone, uint64_t total) {
  if (KwSetupForm1) KwSetupForm1->ShowRollbackProgress(undone, total);
}

void TKwSetupForm1::ShowRollbackProgress(uint64_t undone, uint64_t total) {
  ShowWindow(CancelBtn->Handle(), SW_HIDE);
  if (rollbackFrom_ < 0) rollbackFrom_ = static_cast<int>(SendMessageA(progressBar_, PBM_GETPOS, 0, 0));
  if (total > 0) {
    const uint64_t left = undone >= total ? 0 : total - undone;
    SendMessageA(progressBar_, PBM_SETPOS, static_cast<WPARAM>(static_cast<uint64_t>(rollbackFrom_) * left / total), 0);
  }
  ProcessMessages();
}

TKwSetupForm1::RunScope::RunScope(TKwSetupForm1& runningForm, RunKind kind) : form(runningForm) {
  form.busy_ = true;
  form.running_ = true;
  form.runKind_ = kind;
  form.cancelConfirmed_ = false;
  form.rollbackFrom_ = -1;
  BlockShutdown(form.hwnd_, form.ProgressLabel->Text());
}

TKwSetupForm1::RunScope::~RunScope() {
  form.running_ = false;
  ShowWindow(form.CancelBtn->Handle(), SW_HIDE);
  AllowShutdown(form.hwnd_);
}

bool TKwSetupForm1::CancelOffered() const {
  return running_ && runKind_ == RunKind::Install && !askingCancel_ && !cancelConfirmed_ && rollbackFrom_ < 0 &&
         !RunCommitStarted();
}

void TKwSetupForm1::Close() {
  busy_ = false;
  if (hwnd_ && IsWindow(hwnd_)) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}
