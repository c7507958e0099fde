#pragma once
// The run's journal: every change a run makes to the machine goes through
// here. Each change is entered in the journal file before it is made,
// together with what undoes it; a failed or cancelled run is undone from it
// in reverse order, and a run that was killed is undone by the next setup or
// uninstaller that starts. Files are written under a temporary name in
// their folder and renamed into place when complete; a file they replace is
// kept (renamed) as the backup until the run commits.
//
// The journal lies in a folder of its own that only the system and the
// administrators may change (below the common application data), and the
// machine's registry names it ("\SOFTWARE\QuillonSetup", "RunJournal"); a
// run without the rights for that uses the user's hive and application data.
//
// Without an open journal the changes are made without a record (single
// actions in tests, the path-only run changes nothing).
#include <cstdint>
#include <string_view>
#include <vector>
#include "base/Text.h"
#include "platform/Files.h"
#include "platform/Registry.h"

using JournalProgress = void (*)(uint64_t done, uint64_t total);

// Before the run's first change; false when the journal cannot be written
// (the run must not start then).
bool OpenRunJournal();
bool RunJournalOpen();
// The point of no return: the commit is entered, then the backups and the
// journal go. A run killed after the entry is completed, not undone.
void CommitRunJournal();
bool RunCommitStarted();
// The backups of replaced files that a running program still held at the
// commit: they go at the next restart, which so completes the run.
// Emptied when a run's journal opens.
const std::vector<ByteString>& FilesLeftForRestart();
// Undoes every change of the open journal in reverse order and removes the
// journal; `progress` gets the entries undone so far and their number.
void RollBackRunJournal(JournalProgress progress = nullptr);
// A journal that a killed run left behind.
bool UnfinishedRunJournal();
// Rolls such a journal back (or finishes its commit) and removes it; false
// when there was none.
bool RecoverUnfinishedRun(JournalProgress progress = nullptr);

// One folder whose parent exists.
bool JournalMakeFolder(const ByteString& folder);
// The folder was made by this run (not one that existed before).
bool FolderMadeByThisRun(const ByteString& folder);
// Writes the whole file. As a plain create would, an existing read-only,
// hidden or system file is not replaced. `why` tells a full disk apart.
bool JournalWriteFile(const ByteString& path, std::string_view data,
                      platform::WriteFailure* why = nullptr);
// For a file another writer makes (the shell link object): the name to
// write to, entered in the journal; then JournalPlaceFile puts it in place.
// Empty when the file may not be replaced.
ByteString JournalTemporaryName(const ByteString& path);
bool JournalPlaceFile(const ByteString& temporary, const ByteString& path);
bool JournalSetAttributes(const ByteString& path, uint32_t attributes);
// PathMakeSystemFolderA on the folder, its attributes entered before.
void JournalMakeSystemFolder(const ByteString& folder);
// Registry values by key path; missing keys are created (and entered).
bool JournalSetString(platform::Hive hive, const ByteString& key, const ByteString& name,
                      const ByteString& value);
bool JournalSetDword(platform::Hive hive, const ByteString& key, const ByteString& name, uint32_t value);
// Deletes the key with its subkeys and values, each entered to be restored.
void JournalDeleteKeyTree(platform::Hive hive, const ByteString& key);

// The uninstall's removals: made at once and never undone (the uninstall
// removes only what its information names, and its entry last).
bool JournalRemoveFile(const ByteString& path);
bool JournalRemoveEmptyFolder(const ByteString& folder);
// MOVEFILE_DELAY_UNTIL_REBOOT: the file or emptied folder goes at the next restart.
bool JournalRemoveAtRestart(const ByteString& path);

// Tests: the journal closed and forgotten without undoing anything.
void ResetRunJournal();
