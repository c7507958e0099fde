// Quillon: the sample product. It shows its name and the folder it runs
// from, and notes each start (its command line) in "quillon-started.txt" in
// the user's temporary folder. Started with "/autoclose" it closes itself
// after a few seconds.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string folder;

void NoteStart() {
  char temp[MAX_PATH + 1] = {};
  if (!GetTempPathA(sizeof temp, temp)) return;
  std::string log = std::string(temp) + "quillon-started.txt";
  HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string line = std::string(GetCommandLineA()) + "\r\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT r;
      GetClientRect(hwnd, &r);
      SetBkMode(dc, TRANSPARENT);
      HFONT big = CreateFontA(-36, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
      HGDIOBJ old = SelectObject(dc, big);
      RECT top = r;
      top.bottom = r.bottom / 2;
      DrawTextA(dc, "Quillon", -1, &top, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
      SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      RECT bottom = r;
      bottom.top = r.bottom / 2 + 10;
      std::string text = "L\xE4uft aus: " + folder;
      DrawTextA(dc, text.c_str(), -1, &bottom, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(dc, old);
      DeleteObject(big);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_TIMER:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool HasParameter(const char* commandLine, const char* parameter) {
  std::string line = commandLine;
  for (char& c : line)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return line.find(parameter) != std::string::npos;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  folder = path;
  folder = folder.substr(0, folder.find_last_of('\\') + 1);
  NoteStart();

  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "QuillonMainWindow";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Quillon", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              520, 260, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  if (HasParameter(GetCommandLineA(), "/autoclose")) SetTimer(hwnd, 1, 4000, nullptr);
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
