#pragma once
// Native stand-in for platform/Process.h: a settable module path, command
// line and local time; program starts (and how) and error boxes are recorded.
#include <vector>
#include "base/Text.h"
#include "platform/Process.h"

namespace fakes {

struct StartedProgram {
  platform::ProgramStart start;
  bool asShellUser = false;  // through the user's shell, not as the setup's child
};

struct ErrorBox {
  ByteString text;
  ByteString caption;
};

// Module path "C:\Setup\Setup.exe", command line "\"C:\Setup\Setup.exe\"",
// time 2024-01-02 03:04:05, a user's shell to start programs through,
// nothing recorded.
void ResetProcess();
void SetModuleFileName(const ByteString& path);
void SetCommandLine(const ByteString& line);
void SetLocalTime(const platform::LocalTime& time);
// Without a user's shell (a system account's run), programs start as the
// setup's own children only.
void SetUserShellOffered(bool offered);
const std::vector<StartedProgram>& StartedPrograms();
const std::vector<ErrorBox>& ErrorBoxes();
// An elevated start of this program: what was asked for.
struct ElevatedStart {
  ByteString file;
  ByteString parameters;
};
// The process's rights (default: an administrator's) and how an elevated
// start ends (default: it runs and ends with 0).
void SetAdministratorRights(bool administrator);
void SetElevationOutcome(platform::ElevatedRun outcome, uint32_t exitCode = 0);
const std::vector<ElevatedStart>& ElevatedStarts();

// The programs ProgramsHolding names for any file (default none).
void SetHoldingPrograms(const std::vector<ByteString>& programs);

}  // namespace fakes
