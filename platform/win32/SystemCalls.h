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

// A module of the system's own folder, loaded for a call only some runs
// need; never one found on the search path (the setup may start from a
// folder others can write to). Systems whose loader lacks the system-folder
// search get the module by its full path.
HMODULE SystemModule(const char* name);

// A call of a module of the system's own folder, loaded at the first call
// that needs it: the shell's and the window's modules cost a run that uses
// none of them (under Wine some 40 ms, more than anything else it does
// before its first file). Null where the module or the call is missing.
template <typename Fn>
Fn SystemModuleCall(const char* module, const char* name) {
  return CallIn<Fn>(SystemModule(module), name);
}
