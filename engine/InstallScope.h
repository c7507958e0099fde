#pragma once
// For whom a run installs: every user of the machine (the program below the
// program files, the entries under HKEY_LOCAL_MACHINE, administrator rights
// needed) or the current user alone (below the user's own program folder,
// the entries under HKEY_CURRENT_USER, no elevation).
#include "base/Text.h"
#include "platform/Registry.h"

enum class InstallScope { AllUsers, CurrentUser };

// Set from the command line (/CURRENTUSER, /ALLUSERS) or by the window's
// choice before the runs; all users unless told otherwise.
extern InstallScope Scope;

inline bool PerUserRun() { return Scope == InstallScope::CurrentUser; }
// Where the product key and the uninstall entry of this run live.
inline platform::Hive ScopeHive() {
  return PerUserRun() ? platform::Hive::CurrentUser : platform::Hive::LocalMachine;
}

// The user's own program folder, with a trailing "\": the shell's known
// folder for per-user programs, else "Programs" below the user's local
// application data; empty where the system has neither.
ByteString UserProgramsFolder();
// True where the system has a per-user program folder (the window offers
// the choice only there): every system with a per-user local application
// data folder; older ones (and Wine 8) lack the known folder, not the folder.
bool SystemHasUserProgramsFolder();
