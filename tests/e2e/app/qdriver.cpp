// qdriver: the end-to-end tests' hands and eyes inside Wine. It finds the
// setup window (class "TKwSetupForm1") and the message boxes, prints the
// texts they show (UTF-8, one item per line) and clicks buttons, ticks
// boxes and types into the folder box through the controls' own messages.
//
//   qdriver wait-setup [seconds]      wait for the visible setup window
//   qdriver wait-gone [seconds]       wait until no setup window is left
//   qdriver dump                      title and visible controls of the window
//   qdriver wait-box [seconds]        wait for a message box and print it
//   qdriver answer BUTTON [seconds]   wait for a message box, print it, click BUTTON
//   qdriver watch STOPFILE [boxes]    prints "watching", then watches until STOPFILE exists; fails
//                                     (naming it) when a setup window or a message box showed up
//                                     ("boxes": a message box only).
//                                     Started before a program and stopped after its end, it
//                                     covers the program's whole run, however long Wine takes
//   qdriver click CAPTION             click a visible, enabled button
//   qdriver set-check CAPTION 0|1     tick or clear a visible check box
//   qdriver set-edit TEXT             replace the folder box's text
//   qdriver key return|escape         press a key in the setup window
//   qdriver end-session               asks the setup window whether the session may end
//                                     (WM_QUERYENDSESSION); prints "end-session:allowed" or "...:refused"
//   qdriver wait-progress PERMILLE [seconds [THEN]]  wait until the progress bar stands at PERMILLE
//                                     of its range or beyond; print "progress:POS/RANGE"; then at once,
//                                     in the same process (no program start between): THEN "close"
//                                     (the close box), "escape", "click:CAPTION" or "kill" (the setup
//                                     ends as a killed process does)
//   qdriver fit                       every control on the panels measured with the panels' font
//                                     (Verdana, 13 pixels at 96 DPI: a font handle is the setup's
//                                     own): "cut:..." for a text wider (or taller) than its control
//                                     or a control outside its parent; then "dpi:N", "font:HEIGHT"
//                                     (the height of the label sized to its text before the folder
//                                     box), "fit:COUNT" (controls with a text)
//   qdriver tabs                      the tab order through the dialog manager, one "tab:KIND:TEXT"
//                                     a stop, then "edit-label:TEXT" (the window before the edit box)
//   qdriver close                     close the setup window (its close box)
//   qdriver dialog [seconds]          wait for the folder dialog, print its title and file name
//   qdriver dialog-open NAME [seconds]  type NAME as the file name and press the open button
//   qdriver dialog-cancel [seconds]   press the dialog's cancel button
//   qdriver reg KEY...                every value below each key (HKLM\..., HKCU\...):
//                                     "[KEY]" lines, then "name=TYPE:data"; "[KEY] missing"
//   qdriver attrib PATH [-clear]      the file's attributes as letters (R H S A D), or "missing";
//                                     -clear: none left (read-only, hidden, system cleared)
//
// Each command that reads or works the window first waits until the setup's
// thread has taken every message sent before (its message loop runs), so
// that what it reads is the state after the last step, not a moment in it.
// A command that waits gives up after its seconds and says what it saw.
//
// Exit code 0 on success, 1 when the window, box or control is not found.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

// The arguments as the shell gave them (UTF-16): argv would carry them in
// the driver's own code page, which cannot hold every caption.
std::vector<std::wstring> wideArgs;

std::wstring Arg(int index) {
  return index < static_cast<int>(wideArgs.size()) ? wideArgs[static_cast<std::size_t>(index)] : std::wstring();
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[4096];
  LRESULT n = SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                                  5000, nullptr)
                  ? static_cast<LRESULT>(wcslen(buffer))
                  : 0;
  return std::wstring(buffer, static_cast<std::size_t>(n));
}

// Line breaks of a text printed as "\n" so that each item stays on one line.
std::string OneLine(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

HWND SetupWindow() {
  HWND hwnd = FindWindowA("TKwSetupForm1", nullptr);
  return hwnd && IsWindowVisible(hwnd) ? hwnd : nullptr;
}

struct BoxSearch {
  HWND found = nullptr;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
  if (IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770") {
    reinterpret_cast<BoxSearch*>(param)->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND MessageBoxWindow() {
  BoxSearch search;
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

template <typename Probe>
HWND WaitFor(Probe probe, double seconds) {
  DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
  for (;;) {
    if (HWND hwnd = probe()) return hwnd;
    if (static_cast<LONG>(GetTickCount() - end) >= 0) return nullptr;
    Sleep(100);
  }
}

BOOL CALLBACK AddChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

// Returns once the window's thread has handled a message sent now: all that
// was posted to it before is done (or it shows a modal loop of its own).
bool Settle(HWND hwnd, double seconds = 30) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(seconds * 1000), &result) != 0;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, AddChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

// A control is on screen when it and all its parents are visible.
bool OnScreen(HWND hwnd) { return IsWindowVisible(hwnd) != FALSE; }

void PrintBox(HWND box) {
  std::printf("caption:%s\n", OneLine(TextOf(box)).c_str());
  for (HWND child : Descendants(box)) {
    std::string cls = ClassOf(child);
    if (!OnScreen(child)) continue;
    if (cls == "Static" && !TextOf(child).empty()) std::printf("text:%s\n", OneLine(TextOf(child)).c_str());
    if (cls == "Button") std::printf("button:%s\n", OneLine(TextOf(child)).c_str());
  }
  std::fflush(stdout);
}

// A box is complete once its thread runs the box's own loop and it shows a
// button.
bool SettleBox(HWND box) {
  if (!Settle(box)) return false;
  for (HWND child : Descendants(box))
    if (OnScreen(child) && ClassOf(child) == "Button") return true;
  return false;
}

HWND FindControl(HWND root, const std::wstring& caption, const char* cls) {
  for (HWND child : Descendants(root))
    if (OnScreen(child) && ClassOf(child) == cls && TextOf(child) == caption) return child;
  return nullptr;
}

// --- state read inside the prefix ---------------------------------------------

std::string Hex(const BYTE* data, DWORD size) {
  std::string out;
  char byte[4];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    out += byte;
  }
  return out;
}

std::string ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  const auto* wide = reinterpret_cast<const wchar_t*>(data.data());
  std::size_t units = size / sizeof(wchar_t);
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      if (type != REG_MULTI_SZ)
        while (units > 0 && wide[units - 1] == 0) --units;
      std::wstring text(wide, units);
      std::string out;
      for (char c : OneLine(text)) out += c == '\0' ? std::string("\\0") : std::string(1, c);
      return std::string(type == REG_SZ ? "REG_SZ:" : type == REG_EXPAND_SZ ? "REG_EXPAND_SZ:" : "REG_MULTI_SZ:") + out;
    }
    case REG_DWORD: {
      DWORD value = 0;
      std::memcpy(&value, data.data(), size < sizeof value ? size : sizeof value);
      char text[32];
      std::snprintf(text, sizeof text, "REG_DWORD:0x%lx", static_cast<unsigned long>(value));
      return text;
    }
    default:
      return "REG_" + std::to_string(type) + ":" + Hex(data.data(), size);
  }
}

// Prints the key, its values (in the order the registry keeps them) and its
// subkeys, sorted, the same way down the tree.
void PrintKey(HKEY key, const std::wstring& path) {
  std::printf("[%s]\n", Utf8(path).c_str());
  std::vector<BYTE> data(1 << 16);
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
    LONG rc = RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
    if (rc == ERROR_MORE_DATA) {
      data.resize(size + 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    std::printf("%s=%s\n", OneLine(std::wstring(name, nameLength)).c_str(), ValueText(type, data, size).c_str());
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, nameLength);
  }
  std::sort(subkeys.begin(), subkeys.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
  });
  for (const std::wstring& name : subkeys) {
    HKEY sub = nullptr;
    if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      PrintKey(sub, path + L"\\" + name);
      RegCloseKey(sub);
    }
  }
}

void PrintRegistry(const std::wstring& path) {
  const std::size_t slash = path.find(L'\\');
  const std::wstring root = path.substr(0, slash);
  const std::wstring rest = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
  HKEY hive = root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE
              : root == L"HKCU" || root == L"HKEY_CURRENT_USER" ? HKEY_CURRENT_USER
                                                                : nullptr;
  HKEY key = nullptr;
  if (!hive || RegOpenKeyExW(hive, rest.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    std::printf("[%s] missing\n", Utf8(path).c_str());
    return;
  }
  PrintKey(key, path);
  RegCloseKey(key);
}

std::string KindOf(HWND child) {
  std::string cls = ClassOf(child), kind;
  for (char c : cls) kind += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  LONG style = GetWindowLongA(child, GWL_STYLE);
  if (cls == "Button") kind = (style & 0x0F) == BS_AUTOCHECKBOX ? "check" : "button";
  return kind;
}

// The size the text takes in the font; wrapping at `wrapWidth` when it is not 0.
SIZE TextSize(HWND control, HFONT font, const std::wstring& text, int wrapWidth, UINT prefix) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r = {0, 0, wrapWidth, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | prefix | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right - r.left, r.bottom - r.top};
}

RECT RectIn(HWND child, HWND parent) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int FitCheck(HWND window) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const auto scaled = [dpi](int length) { return MulDiv(length, dpi, 96); };
  HFONT font = CreateFontW(-scaled(13), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Verdana");
  int measured = 0, fontHeight = 0;
  for (HWND child : Descendants(window)) {
    if (!OnScreen(child)) continue;
    if (ClassOf(GetParent(child)) != "TKwSetupPanel") continue;
    const std::string cls = ClassOf(child), kind = KindOf(child);
    const std::wstring text = TextOf(child);
    RECT client, inParent, parentClient;
    GetClientRect(child, &client);
    GetClientRect(GetParent(child), &parentClient);
    inParent = RectIn(child, GetParent(child));
    if (inParent.left < 0 || inParent.top < 0 || inParent.right > parentClient.right ||
        inParent.bottom > parentClient.bottom)
      std::printf("cut:%s:%s: outside its parent\n", kind.c_str(), OneLine(text).c_str());
    if (cls == "Edit") {
      RECT label;
      if (HWND before = GetWindow(child, GW_HWNDPREV)) GetClientRect(before, &label), fontHeight = label.bottom;
    }
    if (text.empty() || (cls != "Static" && cls != "Button")) continue;
    ++measured;
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const UINT prefix = (cls == "Static" && (style & SS_NOPREFIX)) ? DT_NOPREFIX : 0;
    const int width = client.right, height = client.bottom;
    int needWidth = 0, needHeight = 0;
    if (cls == "Static" && (style & SS_TYPEMASK) == SS_LEFT) {
      needHeight = TextSize(child, font, text, width, prefix).cy;  // a left-aligned static wraps
    } else if (cls == "Static") {
      needWidth = TextSize(child, font, text, 0, prefix).cx;
    } else if (kind == "check") {
      needWidth = TextSize(child, font, text, 0, 0).cx + scaled(13 + 3);  // the box and its gap
    } else {
      const bool glyph = (style & BS_TYPEMASK) == BS_OWNERDRAW;
      needWidth = TextSize(child, font, text, 0, 0).cx + scaled(glyph ? 18 + 6 + 4 : 4);
    }
    if (needWidth > width || needHeight > height)
      std::printf("cut:%s:%s: needs %dx%d, has %dx%d\n", kind.c_str(), OneLine(text).c_str(), needWidth,
                  needHeight, width, height);
  }
  DeleteObject(font);
  std::printf("dpi:%d\nfont:%d\nfit:%d\n", dpi, fontHeight, measured);
  std::fflush(stdout);
  return 0;
}

int TabOrder(HWND window) {
  HWND first = GetNextDlgTabItem(window, nullptr, FALSE), edit = nullptr;
  HWND stop = first;
  for (int i = 0; stop && i < 50; ++i) {
    std::printf("tab:%s:%s\n", KindOf(stop).c_str(), OneLine(TextOf(stop)).c_str());
    if (ClassOf(stop) == "Edit") edit = stop;
    stop = GetNextDlgTabItem(window, stop, FALSE);
    if (stop == first) break;
  }
  if (edit) {
    HWND before = GetWindow(edit, GW_HWNDPREV);
    std::printf("edit-label:%s\n", before ? OneLine(TextOf(before)).c_str() : "");
  }
  std::fflush(stdout);
  return 0;
}

void PressKey(HWND window, WORD vk) {
  SetForegroundWindow(window);
  Settle(window);
  INPUT inputs[2] = {};
  inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[1].ki.wVk = vk;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

int Fail(const char* what) {
  std::fprintf(stderr, "qdriver: %s\n", what);
  return 1;
}

double Seconds(int argc, char** argv, int index, double fallback) {
  return argc > index ? std::atof(argv[index]) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 0;
  if (LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) wideArgs.emplace_back(args[i]);
    LocalFree(args);
  }
  if (argc < 2) return Fail("no command");
  std::string command = argv[1];

  if (command == "wait-setup") {
    HWND window = WaitFor(SetupWindow, Seconds(argc, argv, 2, 60));
    if (!window) return Fail("no setup window");
    return Settle(window) ? 0 : Fail("the setup window does not answer");
  }
  if (command == "wait-gone") {
    HWND none = WaitFor([] { return FindWindowA("TKwSetupForm1", nullptr) ? nullptr : HWND(1); },
                        Seconds(argc, argv, 2, 60));
    return none ? 0 : Fail("the setup window is still there");
  }
  if (command == "dump") {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    Settle(window);
    std::printf("title:%s\n", OneLine(TextOf(window)).c_str());
    for (HWND child : Descendants(window)) {
      if (!OnScreen(child)) continue;
      std::string cls = ClassOf(child);
      if (cls == "TKwSetupPanel") continue;
      std::string kind;
      for (char c : cls) kind += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      LONG style = GetWindowLongA(child, GWL_STYLE);
      if (cls == "Button")
        kind = (style & 0x0F) == BS_AUTOCHECKBOX ? "check" : (style & 0x0F) == BS_AUTORADIOBUTTON ? "radio" : "button";
      std::printf("%s:%s", kind.c_str(), OneLine(TextOf(child)).c_str());
      if (kind == "check" || kind == "radio")
        std::printf("|%s", SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "unchecked");
      if (!IsWindowEnabled(child)) std::printf("|disabled");
      std::printf("\n");
    }
    std::fflush(stdout);
    return 0;
  }
  if (command == "progress-watch") {
    // A progress-only window: every position its bar takes ("pos:N") and
    // every button it shows ("button:TEXT"), until the window is gone.
    // "watching" says that the driver is ready before the setup starts.
    std::printf("watching\n");
    std::fflush(stdout);
    HWND window = WaitFor(SetupWindow, Seconds(argc, argv, 2, 60));
    if (!window) return Fail("no setup window");
    LRESULT last = -1;
    std::vector<std::string> buttons;
    while (IsWindow(window)) {
      for (HWND child : Descendants(window)) {
        if (!OnScreen(child)) continue;
        const std::string cls = ClassOf(child);
        if (cls == "msctls_progress32") {
          const LRESULT position = SendMessageW(child, PBM_GETPOS, 0, 0);
          if (position != last) std::printf("pos:%ld\n", static_cast<long>(last = position));
        } else if (cls == "Button") {
          const std::string text = OneLine(TextOf(child));
          if (std::find(buttons.begin(), buttons.end(), text) == buttons.end()) {
            buttons.push_back(text);
            std::printf("button:%s\n", text.c_str());
          }
        }
      }
      std::fflush(stdout);
      Sleep(5);
    }
    return 0;
  }
  if (command == "wait-box") {
    HWND box = WaitFor(MessageBoxWindow, Seconds(argc, argv, 2, 60));
    if (!box || !SettleBox(box)) return Fail("no message box");
    PrintBox(box);
    return 0;
  }
  if (command == "watch" && argc >= 3) {
    std::printf("watching\n");
    std::fflush(stdout);
    const std::wstring stop = Arg(2);
    const bool boxesOnly = Arg(3) == L"boxes";
    bool seen = false;
    for (;;) {
      // The stop file is looked at first: a window seen after it is no
      // longer the watched program's.
      const bool last = GetFileAttributesW(stop.c_str()) != INVALID_FILE_ATTRIBUTES;
      if (HWND window = !boxesOnly && SetupWindow() ? SetupWindow() : MessageBoxWindow()) {
        std::printf("seen:%s\n", OneLine(TextOf(window)).c_str());
        std::fflush(stdout);
        seen = true;
        break;
      }
      if (last) break;
      Sleep(5);
    }
    return seen ? Fail("a window showed up") : 0;
  }
  if (command == "answer" && argc >= 3) {
    HWND box = WaitFor(MessageBoxWindow, Seconds(argc, argv, 3, 60));
    if (!box || !SettleBox(box)) return Fail("no message box");
    PrintBox(box);
    HWND button = FindControl(box, Arg(2), "Button");
    if (!button) return Fail("no such button in the message box");
    PostMessageW(button, BM_CLICK, 0, 0);
    // Done when the box is gone: the next step meets the window behind it.
    if (!WaitFor([box] { return IsWindow(box) && IsWindowVisible(box) ? nullptr : HWND(1); }, 30))
      return Fail("the message box stays after the click");
    return 0;
  }
  if (command == "click" && argc >= 3) {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    Settle(window);
    HWND button = WaitFor(
        [window] {
          HWND b = FindControl(window, Arg(2), "Button");
          return b && IsWindowEnabled(b) ? b : nullptr;
        },
        Seconds(argc, argv, 3, 10));
    if (!button) return Fail("no such button on screen");
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "set-check" && argc >= 4) {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    Settle(window);
    HWND check = FindControl(window, Arg(2), "Button");
    if (!check) return Fail("no such check box on screen");
    bool want = std::atoi(argv[3]) != 0;
    bool is = SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (want != is) SendMessageW(check, BM_CLICK, 0, 0);
    return SendMessageW(check, BM_GETCHECK, 0, 0) == (want ? BST_CHECKED : BST_UNCHECKED) ? 0
                                                                                         : Fail("check box did not change");
  }
  if (command == "set-edit" && argc >= 3) {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    Settle(window);
    for (HWND child : Descendants(window)) {
      if (OnScreen(child) && ClassOf(child) == "Edit") {
        SendMessageW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Arg(2).c_str()));
        return 0;
      }
    }
    return Fail("no folder box on screen");
  }
  if (command == "key" && argc >= 3) {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    PressKey(window, std::string(argv[2]) == "escape" ? VK_ESCAPE : VK_RETURN);
    return 0;
  }
  if (command == "end-session") {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &answer))
      return Fail("the setup window does not answer");
    std::printf("end-session:%s\n", answer ? "allowed" : "refused");
    std::fflush(stdout);
    return 0;
  }
  if (command == "wait-progress" && argc >= 3) {
    const long wanted = std::atol(argv[2]);
    long position = -1, range = 0;
    HWND bar = WaitFor(
        [&] {
          HWND window = SetupWindow();
          if (!window) return HWND(nullptr);
          for (HWND child : Descendants(window)) {
            if (!OnScreen(child) || ClassOf(child) != "msctls_progress32") continue;
            DWORD_PTR pos = 0, high = 0;
            if (!SendMessageTimeoutW(child, PBM_GETPOS, 0, 0, SMTO_NORMAL, 5000, &pos) ||
                !SendMessageTimeoutW(child, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, 5000, &high))
              continue;
            position = static_cast<long>(pos);
            range = static_cast<long>(high);
            if (range > 0 && position * 1000 >= wanted * range) return child;
          }
          return HWND(nullptr);
        },
        Seconds(argc, argv, 3, 60));
    std::printf("progress:%ld/%ld\n", position, range);
    std::fflush(stdout);
    if (!bar) return Fail("the progress bar did not get there");
    const std::wstring then = Arg(4);
    HWND window = SetupWindow();
    if (then.empty()) return 0;
    if (!window) return Fail("no setup window");
    if (then == L"close") {
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (then == L"escape") {
      PressKey(window, VK_ESCAPE);
    } else if (then.rfind(L"click:", 0) == 0) {
      HWND button = FindControl(window, then.substr(6), "Button");
      if (!button) return Fail("no such button on screen");
      PostMessageW(button, BM_CLICK, 0, 0);
    } else if (then == L"kill") {
      DWORD id = 0;
      GetWindowThreadProcessId(window, &id);
      HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
      if (!process || !TerminateProcess(process, 1)) return Fail("the setup could not be ended");
      CloseHandle(process);
    } else {
      return Fail("unknown step after the progress");
    }
    return 0;
  }
  if (command == "dialog" || command == "dialog-open" || command == "dialog-cancel") {
    double seconds = Seconds(argc, argv, command == "dialog-open" ? 3 : 2, 30);
    HWND dialog = WaitFor(MessageBoxWindow, seconds);
    if (!dialog || !Settle(dialog)) return Fail("no dialog");
    // The file name field: the combo box cmb13 (0x47C), or the edit edt1 (0x480).
    HWND name = WaitFor(
        [dialog] {
          HWND field = GetDlgItem(dialog, 0x47C);
          return field ? field : GetDlgItem(dialog, 0x480);
        },
        seconds);
    std::printf("caption:%s\n", OneLine(TextOf(dialog)).c_str());
    if (name) std::printf("file:%s\n", OneLine(TextOf(name)).c_str());
    std::fflush(stdout);
    if (command == "dialog") return 0;
    if (command == "dialog-open") {
      if (!name) return Fail("no file name field");
      SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Arg(2).c_str()));
    }
    HWND button = GetDlgItem(dialog, command == "dialog-open" ? IDOK : IDCANCEL);
    if (!button) return Fail("no such button in the dialog");
    PostMessageW(button, BM_CLICK, 0, 0);
    if (!WaitFor([dialog] { return IsWindow(dialog) && IsWindowVisible(dialog) ? nullptr : HWND(1); }, seconds))
      return Fail("the dialog stays after the click");
    return 0;
  }
  if (command == "reg" && argc >= 3) {
    for (int i = 2; i < static_cast<int>(wideArgs.size()); ++i) PrintRegistry(Arg(i));
    std::fflush(stdout);
    return 0;
  }
  if (command == "attrib" && argc >= 3) {
    if (Arg(3) == L"-clear") return SetFileAttributesW(Arg(2).c_str(), FILE_ATTRIBUTE_NORMAL) ? 0 : Fail("attributes kept");
    const DWORD attributes = GetFileAttributesW(Arg(2).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      std::printf("missing\n");
    } else {
      std::string letters;
      const struct { DWORD bit; char letter; } kinds[] = {{FILE_ATTRIBUTE_READONLY, 'R'}, {FILE_ATTRIBUTE_HIDDEN, 'H'},
          {FILE_ATTRIBUTE_SYSTEM, 'S'}, {FILE_ATTRIBUTE_ARCHIVE, 'A'}, {FILE_ATTRIBUTE_DIRECTORY, 'D'}};
      for (const auto& kind : kinds)
        if (attributes & kind.bit) letters += kind.letter;
      std::printf("%s\n", letters.c_str());
    }
    std::fflush(stdout);
    return 0;
  }
  if (command == "fit" || command == "tabs") {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    Settle(window);
    return command == "fit" ? FitCheck(window) : TabOrder(window);
  }
  if (command == "close") {
    HWND window = FindWindowA("TKwSetupForm1", nullptr);
    if (!window) return Fail("no setup window");
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  return Fail("unknown command");
}
