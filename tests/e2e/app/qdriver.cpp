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
//   qdriver no-box [seconds]          succeed when no message box shows up
//   qdriver no-window [seconds]       succeed when neither a setup window nor a message box shows up
//   qdriver click CAPTION             click a visible, enabled button
//   qdriver set-check CAPTION 0|1     tick or clear a visible check box
//   qdriver set-edit TEXT             replace the folder box's text
//   qdriver key return|escape         press a key in the setup window
//   qdriver close                     close the setup window (its close box)
//   qdriver dialog [seconds]          wait for the folder dialog, print its title and file name
//   qdriver dialog-open NAME [seconds]  type NAME as the file name and press the open button
//   qdriver dialog-cancel [seconds]   press the dialog's cancel button
//
// Exit code 0 on success, 1 when the window, box or control is not found.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
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

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
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

HWND FindControl(HWND root, const std::wstring& caption, const char* cls) {
  for (HWND child : Descendants(root))
    if (OnScreen(child) && ClassOf(child) == cls && TextOf(child) == caption) return child;
  return nullptr;
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
    return WaitFor(SetupWindow, Seconds(argc, argv, 2, 60)) ? 0 : Fail("no setup window");
  }
  if (command == "wait-gone") {
    HWND none = WaitFor([] { return FindWindowA("TKwSetupForm1", nullptr) ? nullptr : HWND(1); },
                        Seconds(argc, argv, 2, 60));
    return none ? 0 : Fail("the setup window is still there");
  }
  if (command == "dump") {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    std::printf("title:%s\n", OneLine(TextOf(window)).c_str());
    for (HWND child : Descendants(window)) {
      if (!OnScreen(child)) continue;
      std::string cls = ClassOf(child);
      if (cls == "TKwSetupPanel") continue;
      std::string kind;
      for (char c : cls) kind += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      LONG style = GetWindowLongA(child, GWL_STYLE);
      if (cls == "Button") kind = (style & 0x0F) == BS_AUTOCHECKBOX ? "check" : "button";
      std::printf("%s:%s", kind.c_str(), OneLine(TextOf(child)).c_str());
      if (kind == "check")
        std::printf("|%s", SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "unchecked");
      if (!IsWindowEnabled(child)) std::printf("|disabled");
      std::printf("\n");
    }
    std::fflush(stdout);
    return 0;
  }
  if (command == "wait-box") {
    HWND box = WaitFor(MessageBoxWindow, Seconds(argc, argv, 2, 60));
    if (!box) return Fail("no message box");
    Sleep(300);  // the box's texts and buttons are final once it is active
    PrintBox(box);
    return 0;
  }
  if (command == "no-box") {
    return WaitFor(MessageBoxWindow, Seconds(argc, argv, 2, 3)) ? Fail("a message box showed up") : 0;
  }
  if (command == "no-window") {
    HWND seen = WaitFor([] { return SetupWindow() ? SetupWindow() : MessageBoxWindow(); }, Seconds(argc, argv, 2, 3));
    return seen ? Fail("a window showed up") : 0;
  }
  if (command == "answer" && argc >= 3) {
    HWND box = WaitFor(MessageBoxWindow, Seconds(argc, argv, 3, 60));
    if (!box) return Fail("no message box");
    Sleep(300);
    PrintBox(box);
    HWND button = FindControl(box, Arg(2), "Button");
    if (!button) return Fail("no such button in the message box");
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "click" && argc >= 3) {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
    HWND button = FindControl(window, Arg(2), "Button");
    if (!button || !IsWindowEnabled(button)) return Fail("no such button on screen");
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "set-check" && argc >= 4) {
    HWND window = SetupWindow();
    if (!window) return Fail("no setup window");
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
    WORD vk = std::string(argv[2]) == "escape" ? VK_ESCAPE : VK_RETURN;
    SetForegroundWindow(window);
    Sleep(200);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = vk;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    return 0;
  }
  if (command == "dialog" || command == "dialog-open" || command == "dialog-cancel") {
    double seconds = Seconds(argc, argv, command == "dialog-open" ? 3 : 2, 30);
    HWND dialog = WaitFor(MessageBoxWindow, seconds);
    if (!dialog) return Fail("no dialog");
    Sleep(500);
    // The file name field: the combo box cmb13 (0x47C), or the edit edt1 (0x480).
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) name = GetDlgItem(dialog, 0x480);
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
    return 0;
  }
  if (command == "close") {
    HWND window = FindWindowA("TKwSetupForm1", nullptr);
    if (!window) return Fail("no setup window");
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
  }
  return Fail("unknown command");
}
