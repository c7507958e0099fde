#pragma once
// The process and its surroundings. Win32: GetModuleFileNameA, GetCommandLineA,
// GetLocalTime, CreateProcessA, MessageBoxA. Natively a fake serves it (tests/support).
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

// A program to start: its file, given to the system as the application name
// (never searched for), the whole command line (the file quoted, then the
// parameters) and the folder it starts in.
struct ProgramStart {
  ByteString file;
  ByteString commandLine;
  ByteString folder;
  int showCommand = 0;
};
// Starts the program as a child of the logged-on user's desktop shell, so
// that it runs as that user with the user's own rights, not with the
// setup's administrator rights. False when the system offers no such shell
// to this process (none on its desktop, as for a deployment tool's system
// account; a system without the parent-process attribute) or the start fails.
bool StartProgramAsShellUser(const ProgramStart& start);
// Starts the program with a copy of the desktop shell's own token (the
// logged-on user's), for an elevated run that may not make the shell its
// parent (elevated to another administrator account). False when there is
// no shell or its token cannot be had.
bool StartProgramWithShellToken(const ProgramStart& start);
// Starts the program as this process's own child, with its rights: only for
// a run whose rights are the desktop user's own.
bool StartProgramDirectly(const ProgramStart& start);
// The process runs as the local system account (a deployment tool's service).
bool RunsAsSystem();
// The process has the Administrators group in its token, enabled (under UAC
// a filtered token of an administrator has not): CheckTokenMembership.
bool HasAdministratorRights();
// The process runs with rights raised above those of the user's own
// programs: its token is elevated (TokenElevationTypeFull) and the user's
// unelevated token, linked to it, runs at a lower integrity level (as UAC
// makes them). Those programs could have written anything the user may.
bool RunsElevated();

// How a start of this program with administrator rights ended.
enum class ElevatedRun {
  Ended,       // it ran; its exit code is given
  Refused,     // the user (or the system's policy) refused the elevation
  NotStarted,  // any other failure to start it
};
// ShellExecuteEx with the verb "runas": starts the file with the parameters
// elevated, waits until it has ended and gives its exit code.
ElevatedRun RunElevatedAndWait(const ByteString& file, const ByteString& parameters, uint32_t& exitCode);

// MessageBoxA with no owner, the given caption, MB_ICONERROR and one OK button.
void ShowErrorBox(const ByteString& text, const ByteString& caption);


// The programs that hold any of the files, as the system names them (the
// Restart Manager); empty where the system cannot tell.
std::vector<ByteString> ProgramsHolding(const std::vector<ByteString>& files);

}  // namespace platform
