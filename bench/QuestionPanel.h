#pragma once
// Finds the setup window's install question from outside, as the bench
// programs that watch a running setup need it.
#include <windows.h>

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
