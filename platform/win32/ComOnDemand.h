#pragma once
// COM on the calling thread, started by the first call that needs it (a
// shell link, the shell's elevation prompt) and kept for the thread's life:
// a run that needs neither never pays for the apartment and the hidden
// window it makes, nor loads ole32.dll.
#include <objbase.h>

#include "platform/win32/SystemCalls.h"

// COM's calls, from ole32.dll loaded at the first of them.
struct ComCalls {
  HRESULT(WINAPI* initialize)(LPVOID) = SystemModuleCall<decltype(initialize)>("ole32.dll", "CoInitialize");
  HRESULT(WINAPI* createInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) =
      SystemModuleCall<decltype(createInstance)>("ole32.dll", "CoCreateInstance");
  void(WINAPI* freeMemory)(LPVOID) = SystemModuleCall<decltype(freeMemory)>("ole32.dll", "CoTaskMemFree");
};

inline const ComCalls& Com() {
  static const ComCalls calls;
  return calls;
}

inline void StartComOnThisThread() {
  // S_FALSE or RPC_E_CHANGED_MODE: COM already runs on the thread, as wanted.
  static thread_local const HRESULT started = Com().initialize ? Com().initialize(nullptr) : E_FAIL;
  (void)started;
}
