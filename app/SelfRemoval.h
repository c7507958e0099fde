#pragma once
// The uninstaller's own file cannot go while it runs: a copy of it in the
// temporary folder removes it, and its emptied folders, once it has ended.

struct OwnFileLeft;
struct UninstallLeftovers;

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
