// The program's main sequence: start-up, the language data, the guard
// against a second running setup, the setup window and its message loop.
#include <windows.h>

#include "app/MessageBoxes.h"
#include "app/PassiveWindow.h"
#include "app/SetupTexts.h"
#include "app/StartUp.h"
#include "app/SetupWindow.h"
#include "app/RunningMark.h"
#include "app/SelfRemoval.h"
#include "app/SilentRun.h"
#include "engine/CommandLine.h"
#include "engine/EngineValues.h"
#include "lang/Multilingual.h"
#include "platform/win32/SystemCalls.h"

namespace {

// A DLL planted beside Setup.exe must never be loaded: from here on, DLLs
// come from the system folder only. Older systems lack the call.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDirectories = SystemCall<SetDefaultDllDirectoriesFn>("kernel32.dll", "SetDefaultDllDirectories");
  if (setDirectories) setDirectories(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
}

// The application's own hidden window: owner of the shell folder look-ups
// before the setup window exists; its text is the application's title.
LRESULT CALLBACK ApplicationWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND CreateApplicationWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ApplicationWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = "TKwSetupApplication";
  RegisterClassA(&wc);
  return CreateWindowExA(WS_EX_TOOLWINDOW, wc.lpszClassName, "Setup", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         instance, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  // COM starts with the first call that needs it (platform/win32/ComOnDemand.h).
  InitMultiLingua();
  ParseCommandLine();
  if (FinishSelfRemoval()) return 0;
  HWND application = CreateApplicationWindow(instance);
  OwnerWindow = reinterpret_cast<std::uintptr_t>(application);

  int exitCode = 0;
  try {
    // The elevated copy whose own file was replaced ends before anything.
    const bool refused = !LoadStartUpData();

    // A silent run for all users without administrator rights hands over to
    // an elevated copy of itself before it claims anything (the window asks
    // for the rights when the user starts the install for all users).
    int elevatedCode = 0;
    const bool handedOver = !refused && Switches.silent && !Switches.help && RunElevatedInstead(elevatedCode);
    // Both checks: a silent run has no window to find.
    const bool claimed = !refused && !handedOver && ClaimSetupInstance();
    // The window that started an elevated copy waits for it with its window
    // open; the copy goes by the mark alone.
    const bool anotherSetup =
        !claimed || (!Switches.elevatedCopy && FindWindowA(kSetupWindowClass, nullptr) != nullptr);
    if (refused) {
      exitCode = EndRefusedCopy();
    } else if (handedOver) {
      exitCode = elevatedCode;
    } else if (Switches.help) {
      ShowSwitchesHelp();
    } else if (Switches.silent) {
      if (anotherSetup) {
        exitCode = kExitAnotherSetup;
      } else if (Switches.passive) {
        PassiveProgressWindow progress(instance, UninstallMode);
        exitCode = RunSilently();
      } else {
        exitCode = RunSilently();
      }
    } else if (anotherSetup) {
      ShowErrorBox(MainDPRText(kTextDoubleStart));
    } else {
      TKwSetupForm1 form;
      if (form.Create(instance)) {
        SetBoxOwner(form.Handle());
        form.Show();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
          if (!IsWindow(form.Handle()) || !IsDialogMessageA(form.Handle(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
          }
        }
        SetBoxOwner(nullptr);
      }
    }
  } catch (const std::exception& error) {
    if (Switches.silent)
      exitCode = SilentFailure(error.what());
    else
      ShowApplicationError(error.what());
  }

  if (application) DestroyWindow(application);
  DoneMultiLingua();
  return exitCode;
}
