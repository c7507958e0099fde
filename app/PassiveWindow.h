#pragma once
// The window of a /PASSIVE run: no question and no button, only the
// progress note and its bar while the silent run installs (or uninstalls).
// It carries the setup window's class, so that a second setup finds it as
// it finds any running setup.
#include <windows.h>

#include <cstdint>

class PassiveProgressWindow {
public:
  // Shows the window and takes the runs' progress reports.
  explicit PassiveProgressWindow(HINSTANCE instance, bool uninstall);
  ~PassiveProgressWindow();
  PassiveProgressWindow(const PassiveProgressWindow&) = delete;
  PassiveProgressWindow& operator=(const PassiveProgressWindow&) = delete;

private:
  static void Report(uint64_t done, uint64_t total);
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
};
