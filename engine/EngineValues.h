#pragma once
// The engine's process-wide values. They start empty, live until the program
// ends and are never reset between the path-only run and the full run.
#include <cstdint>
#include "base/Text.h"
#include "platform/Registry.h"

class TQStringList;

extern ByteString PgmPath;          // program folder, ends in "\"
extern ByteString DataPath;         // data folder
extern ByteString MyStartMenu;      // the product's start-menu folder
extern ByteString RegistryKey;      // "SOFTWARE\" + the script's "Registry"
extern ByteString Version;          // version of the product in this setup
extern ByteString Lng;              // language code, at most 3 characters
extern ByteString LngData;          // UTF-16LE language data for the uninstaller
extern ByteString Exec;             // program started after the setup
extern ByteString ExecParams;       // its parameters
extern std::uintptr_t OwnerWindow;  // owner window of shell folder look-ups
extern bool Quiet;                  // errors are not shown in message boxes
extern bool DesktopLinks;           // desktop shortcuts wanted
extern ByteString ErrorText;        // the error list: "text; text; "
extern ByteString UninstallerPath;  // where the uninstaller is written
extern bool UninstallMode;          // running as the uninstaller
extern ByteString LastTrustee;      // the trustee name that last succeeded
extern bool DataPathFromScript;     // DataPath is the script's, not a registered one

// For whom a run installs: every user of the machine (the program below the
// program files, the entries under HKEY_LOCAL_MACHINE, administrator rights
// needed) or the current user alone (below the user's own program folder,
// the entries under HKEY_CURRENT_USER, no elevation).
enum class InstallScope { AllUsers, CurrentUser };
// Set from the command line (/CURRENTUSER, /ALLUSERS) or by the window's
// choice before the runs; all users unless told otherwise.
extern InstallScope Scope;
inline bool PerUserRun() { return Scope == InstallScope::CurrentUser; }
// Where the product key and the uninstall entry of this run live.
inline platform::Hive ScopeHive() {
  return PerUserRun() ? platform::Hive::CurrentUser : platform::Hive::LocalMachine;
}

// Sorted, case-insensitive, duplicates ignored.
extern TQStringList* CreatedFolders;
// In the order written.
extern TQStringList* WrittenFiles;
// name=value pairs carried into the uninstaller.
extern TQStringList* UninstallValues;
// The process's parameters 1..n.
extern TQStringList* ParamList;

// Tests only: every value back to its start value, lists emptied.
void ResetEngineValues();
