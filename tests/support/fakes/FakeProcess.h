#pragma once
// Native stand-in for platform/Process.h: a settable module path, command
// line and local time; program starts and error boxes are recorded.
#include <vector>
#include "base/Text.h"
#include "platform/Process.h"

namespace fakes {

struct StartedProgram {
  ByteString commandLine;
  int showCommand = 0;
};

struct ErrorBox {
  ByteString text;
  ByteString caption;
};

// Module path "C:\Setup\Setup.exe", command line "\"C:\Setup\Setup.exe\"",
// time 2024-01-02 03:04:05, nothing recorded.
void ResetProcess();
void SetModuleFileName(const ByteString& path);
void SetCommandLine(const ByteString& line);
void SetLocalTime(const platform::LocalTime& time);
const std::vector<StartedProgram>& StartedPrograms();
const std::vector<ErrorBox>& ErrorBoxes();
// The programs ProgramsHolding names for any file (default none).
void SetHoldingPrograms(const std::vector<ByteString>& programs);

}  // namespace fakes
