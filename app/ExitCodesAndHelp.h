#pragma once
// What a silent run answers: its exit codes, the result line of its /LOG=
// file, and the switches' help box that lists both.
#include "base/Text.h"

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

// The log's result for the exit code ("7 refused: ..."), worded for the
// install or, as the uninstaller, the uninstall.
ByteString ExitCodeText(int code);
// The switches in a message box, in German on a German system, else in English.
void ShowSwitchesHelp();
