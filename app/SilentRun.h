#pragma once
// Unattended runs: the install and the uninstall without a window or a
// message box (/S), the switches' help box, the guard against a second
// setup that also finds one without a window, and the removal of the
// uninstaller's own file after it ended.
#include <cstdint>
#include <vector>
#include "base/Text.h"

struct OwnFileLeft;
struct UninstallLeftovers;

// Exit codes of a silent run.
enum SilentExitCode : int {
  kExitInstalled = 0,
  kExitRefusedFolder = 1,  // folder not allowed, or a wrong command line
  kExitFailed = 2,
  kExitNewerInstalled = 3,
  kExitAnotherSetup = 4,
  kExitDiskFull = 5,        // too little room on a target drive
  kExitFilesInUse = 6,      // files to be replaced are held by another program
  kExitElevationRefused = 7,  // a run for all users, and the administrator rights were refused
  kExitNotOverBase = 8,       // an update, and its base version is not what is installed
  kExitRestartNeeded = 3010,  // done; files go at the next restart
};

// The installed Quillon.exe can be replaced: it opens for writing and
// deleting without sharing (nothing is deleted by the check itself).
bool ProgramReplaceable(const ByteString& path);
// "a; b" of the held files, with the programs that hold them where the
// system can tell.
ByteString HeldFilesText(const std::vector<ByteString>& files);

// Shared with the window's flows.
extern const char* const kPartnerProgram;  // the partner's offer beside the program
// The user-interface language for the system's primary language; empty
// keeps the current one (German).
ByteString LanguageForSystem(uint16_t primary);

// Claims the process-wide mark of a running setup or uninstaller, held until
// the process ends; false when another process holds it.
bool ClaimSetupInstance();
// Lets go of that mark: the window's run goes on in its elevated copy,
// which claims it in turn.
void ReleaseSetupInstance();
// The install (or, as the uninstaller, the uninstall) without any window;
// writes the /LOG= file. Answers the exit code.
int RunSilently();
// A failure raised before the silent run began (the language data): logged
// for /LOG=; answers kExitFailed.
int SilentFailure(const ByteString& message);
// A run for all users without administrator rights: the elevated copy's
// exit code, kExitElevationRefused when the rights were refused. False
// (code untouched) when this run needs no elevation.
bool RunElevatedInstead(int& code);
// The switches in a message box, in German on a German system, else in English.
void ShowSwitchesHelp();
// Lets a copy of the uninstaller in the temporary folder remove the
// uninstaller's file and then its emptied folders once this process ended.
void ScheduleSelfRemoval(const UninstallLeftovers& leftovers);
// An uninstaller whose whole work the recovery of an interrupted run did
// (the placeholder, or the uninstaller of the undone run): its own file and
// folders go as it ends. kExitInstalled when no journal is left, else
// kExitFailed.
int EndAfterRecovery(const OwnFileLeft& own);
// As that copy (its command line says so): waits for the uninstaller to end,
// removes what it left and marks the copy for deletion at the next restart.
// False, doing nothing, for every other run.
bool FinishSelfRemoval();
