#pragma once
// The script interpreter: runs the command script line by line and hands each
// line to its action. The only part of the engine that knows every action.
#include <cstdint>
#include "base/Text.h"
#include "engine/EngineValues.h"
#include "engine/PackedData.h"
#include "engine/ScriptCommands.h"

// The whole script, or only its "path" lines (to fill the engine values
// before the install question). A full run is one transaction: after its
// lines it writes the uninstaller and the settings "Exec" and "DataPath" and
// commits; a failing line, a raised failure or a cancel undoes every change
// instead (the setup log then notes it).
bool RunSetupScript(bool pathOnly);
// The path lines once more for another scope (all users or the current
// user): the folders offered become that scope's, an earlier installation's
// of that scope first. Nothing else of the path-only run is repeated.
bool OfferFoldersFor(InstallScope scope);
// Asks the full run to stop after its current line and undo itself; too
// late once its commit has begun.
void RequestRunCancel();
bool RunCancelled();
// Called now and then while a run is undone, with the changes undone so far
// and their number.
void SetRollbackProgressHook(void (*hook)(uint64_t undone, uint64_t total));
// One line; false when it names no action or its action failed.
bool ExecuteCommand(const ByteString& line, PackedData& remaining);
// Called now and then during a full run (at most every few milliseconds,
// between lines and while waiting for the check of the packed files) with
// the packed bytes consumed so far and their total; the window keeps
// answering and moves its progress bar from here.
void SetRunProgressHook(void (*hook)(uint64_t done, uint64_t total));
