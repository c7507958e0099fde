#pragma once
// Calls that the oldest systems the setup starts on lack, looked up at run
// time: null where the system (or the module) lacks the call.
#include <windows.h>

#include <string>

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
inline HMODULE SystemModule(const char* name) {
  HMODULE module = LoadLibraryExA(name, nullptr, 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, length) + "\\" + name;
  return LoadLibraryA(path.c_str());
}

