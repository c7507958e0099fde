#include "app/InstallStart.h"

#include <windows.h>

#include "platform/Process.h"

bool ProgramReplaceable(const ByteString& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

ByteString HeldFilesText(const std::vector<ByteString>& files) {
  ByteString text;
  for (const ByteString& file : files) text += (text.empty() ? "" : "; ") + file;
  const std::vector<ByteString> programs = platform::ProgramsHolding(files);
  if (!programs.empty()) {
    text += " (";
    for (std::size_t i = 0; i < programs.size(); ++i) text += (i ? ", " : "") + programs[i];
    text += ")";
  }
  return text;
}
