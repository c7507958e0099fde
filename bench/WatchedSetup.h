#pragma once
// What the bench programs that watch a running setup share: starting it,
// timing it, and finding its install question from outside.
#include <windows.h>

#include <cstdio>
#include <string>

inline const char kFormClass[] = "TKwSetupForm1";
inline const char kPanelClass[] = "TKwSetupPanel";

// The panel of the install question when it is on screen: the form is
// visible and so is the panel that carries the program folder's edit box.
inline HWND QuestionPanel(HWND form) {
  if (!IsWindowVisible(form)) return nullptr;
  for (HWND panel = FindWindowExA(form, nullptr, kPanelClass, nullptr); panel;
       panel = FindWindowExA(form, panel, kPanelClass, nullptr)) {
    if (IsWindowVisible(panel) && FindWindowExA(panel, nullptr, "EDIT", nullptr)) return panel;
  }
  return nullptr;
}

// Seconds since construction.
class Stopwatch {
public:
  Stopwatch() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&started_);
  }
  double Seconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - started_.QuadPart) / static_cast<double>(frequency_.QuadPart);
  }

private:
  LARGE_INTEGER frequency_, started_;
};

// Starts the setup at `path` without arguments; false, with a message
// naming `tool`, when it cannot be started.
inline bool StartSetup(const char* tool, const char* path, PROCESS_INFORMATION& process) {
  std::string commandLine = std::string("\"") + path + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  process = PROCESS_INFORMATION{};
  if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return true;
  std::fprintf(stderr, "%s: cannot start %s (%lu)\n", tool, path, GetLastError());
  return false;
}
