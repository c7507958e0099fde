// Benchmark helper (never shipped): how the setup window answers during an
// install. Starts SETUP.EXE, waits for the install question, enters FOLDER
// and clicks "Ja"; then, every 50 ms until the closing message box shows,
// asks the window with SendMessageTimeout(WM_NULL) and reads its progress
// bar. Answers the box with OK and waits for the setup to end.
//
//   probe.exe SETUP.EXE FOLDER [TIMEOUT_SECONDS]
//     prints: install=<s> polls=<n> longest_wait=<s> rises=<n> final=<pos> max=<pos>
//     exit 0; 1 on timeout or failure
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "WatchedSetup.h"

namespace {

HWND ProgressBar(HWND form) {
  for (HWND panel = FindWindowExA(form, nullptr, kPanelClass, nullptr); panel;
       panel = FindWindowExA(form, panel, kPanelClass, nullptr)) {
    if (HWND bar = FindWindowExA(panel, nullptr, PROGRESS_CLASSA, nullptr)) return bar;
  }
  return nullptr;
}

struct BoxSearch {
  DWORD process;
  HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM data) {
  auto search = reinterpret_cast<BoxSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (owner == search->process && IsWindowVisible(window) && std::string(name) == "#32770") {
    search->box = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: probe.exe SETUP.EXE FOLDER [TIMEOUT_SECONDS]\n");
    return 1;
  }
  const double timeout = argc > 3 ? std::atof(argv[3]) : 300.0;
  const Stopwatch clock;
  PROCESS_INFORMATION process;
  if (!StartSetup("probe", argv[1], process)) return 1;
  auto fail = [&](const char* why) {
    std::fprintf(stderr, "probe: %s\n", why);
    TerminateProcess(process.hProcess, 1);
    return 1;
  };

  HWND form = nullptr, panel = nullptr;
  while (!panel && clock.Seconds() < timeout) {
    form = FindWindowA(kFormClass, nullptr);
    if (form) panel = QuestionPanel(form);
    if (!panel && WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0) return fail("setup ended early");
  }
  if (!panel) return fail("no install question");
  HWND bar = ProgressBar(form);
  if (!bar) return fail("no progress bar");
  SendMessageA(FindWindowExA(panel, nullptr, "EDIT", nullptr), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
  HWND yes = GetDlgItem(panel, 101);  // the start button ("Ja")
  if (!yes) return fail("no button Ja");
  const double clicked = clock.Seconds();
  PostMessageA(yes, BM_CLICK, 0, 0);

  int polls = 0, rises = 0;
  LRESULT position = 0, range = 0;
  double longest = 0;
  BoxSearch search{process.dwProcessId, nullptr};
  while (clock.Seconds() < timeout) {
    const double asked = clock.Seconds();
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
    const double waited = clock.Seconds() - asked;
    if (waited > longest) longest = waited;
    ++polls;
    DWORD_PTR pos = 0, most = 0;
    SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, 10000, &pos);
    SendMessageTimeoutA(bar, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, 10000, &most);
    if (static_cast<LRESULT>(pos) > position) ++rises;
    position = static_cast<LRESULT>(pos);
    range = static_cast<LRESULT>(most);
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.box) break;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    const double next = asked + 0.05 - clock.Seconds();
    if (next > 0) Sleep(static_cast<DWORD>(next * 1000));
  }
  const double install = clock.Seconds() - clicked;
  if (!search.box) return fail("no closing message box");
  PostMessageA(search.box, WM_COMMAND, IDOK, 0);
  WaitForSingleObject(process.hProcess, 30000);
  std::printf("install=%.3f polls=%d longest_wait=%.3f rises=%d final=%ld max=%ld\n", install, polls, longest, rises,
              static_cast<long>(position), static_cast<long>(range));
  return 0;
}
