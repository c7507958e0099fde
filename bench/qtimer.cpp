// Benchmark helper (never shipped): time from starting a setup to its install
// question on screen. Starts SETUP.EXE, polls every 2 ms for a visible window
// of class "TKwSetupForm1" whose visible panel holds the folder box (the
// install question's panel), prints the seconds, then ends the setup.
//
//   qtimer.exe SETUP.EXE [TIMEOUT_SECONDS]
//     prints: window=<s> question=<s>    exit 0; 1 on timeout or failure
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "WatchedSetup.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qtimer.exe SETUP.EXE [TIMEOUT_SECONDS]\n");
    return 1;
  }
  const double timeout = argc > 2 ? std::atof(argv[2]) : 60.0;
  if (FindWindowA(kFormClass, nullptr)) {
    std::fprintf(stderr, "qtimer: a setup window is already open\n");
    return 1;
  }
  const Stopwatch clock;
  PROCESS_INFORMATION process;
  if (!StartSetup("qtimer", argv[1], process)) return 1;
  double window = -1, question = -1;
  while (clock.Seconds() < timeout) {
    const HWND form = FindWindowA(kFormClass, nullptr);
    if (form) {
      if (window < 0 && IsWindowVisible(form)) window = clock.Seconds();
      if (QuestionPanel(form)) {
        question = clock.Seconds();
        break;
      }
    }
    if (WaitForSingleObject(process.hProcess, 2) == WAIT_OBJECT_0) break;  // ended early
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (question < 0) {
    std::fprintf(stderr, "qtimer: no install question within %.0f s\n", timeout);
    return 1;
  }
  std::printf("window=%.6f question=%.6f\n", window, question);
  return 0;
}
