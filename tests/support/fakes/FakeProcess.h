#pragma once
// Native stand-in for platform/Process.h: a settable module path, command
// line and local time; program starts (and how) and error boxes are recorded.
#include <functional>
#include <vector>
#include "base/Text.h"
#include "platform/OwnFileCheck.h"
#include "platform/Process.h"

namespace fakes {

// How a program was started: as the desktop shell's child, with the shell's
// token, or as the setup's own child with the setup's rights.
enum class StartedAs { ShellChild, ShellToken, OwnChild };
struct StartedProgram {
  platform::ProgramStart start;
  StartedAs as = StartedAs::OwnChild;
};

struct ErrorBox {
  ByteString text;
  ByteString caption;
};

// Module path "C:\Setup\Setup.exe", command line "\"C:\Setup\Setup.exe\"",
// time 2024-01-02 03:04:05, a user's shell to start programs through (as
// its child and with its token), not the system account, nothing recorded.
void ResetProcess();
void SetModuleFileName(const ByteString& path);
void SetCommandLine(const ByteString& line);
void SetLocalTime(const platform::LocalTime& time);
// Without a user's shell (a system account's run) neither shell start works;
// without the shell as parent (elevated to another account) only its token.
void SetUserShellOffered(bool offered);
void SetShellParentOffered(bool offered);
void SetRunsAsSystem(bool system);
void SetRunsElevated(bool elevated);  // default: not raised above the user's programs
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
// What the copy does while it runs (default: nothing).
void SetElevatedCopy(std::function<void(const ElevatedStart&)> copy);
const std::vector<ElevatedStart>& ElevatedStarts();
// What the own-file check answers (default: the image's own file), and how
// often it was asked.
void SetOwnFileVerdict(platform::OwnFileVerdict verdict);
unsigned OwnFileChecks();

// The programs ProgramsHolding names for any file (default none).
void SetHoldingPrograms(const std::vector<ByteString>& programs);

}  // namespace fakes
