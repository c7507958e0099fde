#pragma once
// Calls that the oldest systems the setup starts on lack, looked up at run
// time in a module the process has loaded anyway (never loaded for this):
// null where the system lacks the call.
#include <windows.h>

template <typename Fn>
Fn SystemCall(const char* module, const char* name) {
  HMODULE loaded = GetModuleHandleA(module);
  return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}
