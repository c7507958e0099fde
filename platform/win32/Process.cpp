// The process services of platform/Process.h on Win32.
#include "platform/Process.h"

#include <windows.h>

namespace platform {

ByteString ModuleFileName() {
  // MAX_PATH is enough for the usual paths; grow for longer ones.
  ByteString path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return ByteString();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return ByteString();
    path.assign(path.size() * 2, '\0');
  }
}

ByteString CommandLine() {
  const char* line = GetCommandLineA();
  return line ? ByteString(line) : ByteString();
}

LocalTime Now() {
  SYSTEMTIME time = {};
  GetLocalTime(&time);
  LocalTime result;
  result.year = time.wYear;
  result.month = time.wMonth;
  result.day = time.wDay;
  result.hour = time.wHour;
  result.minute = time.wMinute;
  result.second = time.wSecond;
  return result;
}

void ShowErrorBox(const ByteString& text, const ByteString& caption) {
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
}

}  // namespace platform
