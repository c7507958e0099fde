#include "platform/win32/SystemCalls.h"

#include <string>

HMODULE SystemModule(const char* name) {
  HMODULE module = LoadLibraryExA(name, nullptr, 0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
  if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, length) + "\\" + name;
  return LoadLibraryA(path.c_str());
}
