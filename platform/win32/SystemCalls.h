#pragma once
// Calls that the oldest systems the setup starts on lack, looked up at run
// time: null where the system (or the module) lacks the call.
#include <windows.h>

// The call in a module the process holds (null module: null).
template <typename Fn>
Fn CallIn(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// The call in a module the process has loaded anyway (never loaded for this).
template <typename Fn>
Fn SystemCall(const char* module, const char* name) {
  return CallIn<Fn>(GetModuleHandleA(module), name);
}
