#pragma once
// The process and its surroundings. Win32: GetModuleFileNameA, GetCommandLineA,
// GetLocalTime, WinExec, MessageBoxA. Natively a fake serves it (tests/support).
#include <cstdint>
#include <vector>
#include "base/Text.h"

namespace platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

ByteString ModuleFileName();   // full path of the running executable
ByteString CommandLine();      // the raw command line, program name included
LocalTime Now();
void StartProgram(const ByteString& commandLine, int showCommand);  // WinExec
// MessageBoxA with no owner, the given caption, MB_ICONERROR and one OK button.
void ShowErrorBox(const ByteString& text, const ByteString& caption);


// The programs that hold any of the files, as the system names them (the
// Restart Manager); empty where the system cannot tell.
std::vector<ByteString> ProgramsHolding(const std::vector<ByteString>& files);

}  // namespace platform
