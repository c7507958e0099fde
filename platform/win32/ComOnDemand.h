#pragma once
// COM on the calling thread, started by the first call that needs it (a
// shell link, the shell's elevation prompt) and kept for the thread's life:
// a run that needs neither never pays for the apartment and the hidden
// window it makes.
#include <objbase.h>

inline void StartComOnThisThread() {
  // S_FALSE or RPC_E_CHANGED_MODE: COM already runs on the thread, as wanted.
  static thread_local const HRESULT started = CoInitialize(nullptr);
  (void)started;
}
