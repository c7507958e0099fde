#include "app/MessageBoxes.h"

#include <string>

namespace {

// Captions and button labels are Windows-1252 whatever the system's code
// page; the message is ANSI text of the system's code page. Both go to the
// wide functions so that "Bestätigung" reads right on every system.
std::wstring Widen(const ByteString& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

HWND boxOwner = nullptr;
HHOOK boxHook = nullptr;

// The system draws its own (localised) button labels; the setup's boxes carry
// the German ones. The hook renames them and centres the box on the screen
// when the box is about to be activated, then removes itself.
LRESULT CALLBACK BoxHookProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    GetClassNameA(box, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0) {
      if (GetDlgItem(box, IDOK)) SetDlgItemTextW(box, IDOK, L"OK");
      if (GetDlgItem(box, IDYES)) SetDlgItemTextW(box, IDYES, L"&Ja");
      if (GetDlgItem(box, IDNO)) SetDlgItemTextW(box, IDNO, L"&Nein");
      if (GetDlgItem(box, IDRETRY)) SetDlgItemTextW(box, IDRETRY, L"Wiederholen");
      if (GetDlgItem(box, IDCANCEL)) SetDlgItemTextW(box, IDCANCEL, L"Abbrechen");
      RECT r;
      GetWindowRect(box, &r);
      int width = r.right - r.left, height = r.bottom - r.top;
      int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
      int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
      SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      HHOOK hook = boxHook;
      boxHook = nullptr;
      UnhookWindowsHookEx(hook);
      return CallNextHookEx(nullptr, code, wParam, lParam);
    }
  }
  return CallNextHookEx(boxHook, code, wParam, lParam);
}

int ShowBox(const ByteString& text, const char* caption, UINT style) {
  HWND owner = boxOwner && IsWindowVisible(boxOwner) ? boxOwner : nullptr;
  if (!boxHook) boxHook = SetWindowsHookExA(WH_CBT, BoxHookProc, nullptr, GetCurrentThreadId());
  int answer = MessageBoxW(owner, Widen(text, CP_ACP).c_str(), Widen(caption, 1252).c_str(),
                           style | (owner ? MB_APPLMODAL : MB_TASKMODAL));
  if (boxHook) {  // the box never became active
    UnhookWindowsHookEx(boxHook);
    boxHook = nullptr;
  }
  return answer;
}

}  // namespace

void SetBoxOwner(HWND owner) { boxOwner = owner; }

void ShowErrorBox(const ByteString& text) { ShowBox(text, "Fehler", MB_OK | MB_ICONERROR); }

void ShowInformationBox(const ByteString& text) {
  ShowBox(text, "Informationen", MB_OK | MB_ICONINFORMATION);
}

bool AskConfirmation(const ByteString& text) {
  return ShowBox(text, "Best\xE4tigung", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool AskRetry(const ByteString& text) {
  return ShowBox(text, "Fehler", MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

ByteString ApplicationErrorText(const ByteString& message) {
  ByteString text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

void ShowApplicationError(const ByteString& message) {
  ShowBox(ApplicationErrorText(message), "Setup", MB_OK | MB_ICONERROR);
}
