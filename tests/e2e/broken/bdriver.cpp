// bdriver: what the broken-input tests need beyond qdriver.
//
//   bdriver close [seconds]   wait for a setup window (shown or not) and close
//                             it as its title-bar button would (WM_CLOSE)
//   bdriver windows           the visible top-level windows: class|title
//
// Exit code 0 on success, 1 when no setup window is found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

BOOL CALLBACK PrintWindow(HWND hwnd, LPARAM) {
  if (!IsWindowVisible(hwnd)) return TRUE;
  char cls[128] = {}, title[256] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  std::printf("%s|%s\n", cls, title);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bdriver close [seconds] | windows\n");
    return 2;
  }
  const std::string command = argv[1];
  if (command == "windows") {
    EnumWindows(PrintWindow, 0);
    return 0;
  }
  if (command == "close") {
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    for (double waited = 0; waited <= seconds; waited += 0.1) {
      if (HWND hwnd = FindWindowA("TKwSetupForm1", nullptr)) {
        PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
      }
      Sleep(100);
    }
    std::printf("bdriver: no setup window\n");
    return 1;
  }
  std::fprintf(stderr, "bdriver: unknown command %s\n", command.c_str());
  return 2;
}
