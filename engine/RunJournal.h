#pragma once
// The run's journal: every change a run makes to the machine goes through
// here. Each change is entered in the journal file before it is made,
// together with what undoes it; a failed or cancelled run is undone from it
// in reverse order, and a run that was killed is undone by the next setup or
// uninstaller that starts. This file holds the recording, the undo and the
// commit, and the registry changes; the files are written in FileWriting,
// the journal's lines are JournalFormat's and its place JournalPlace's.
//
// Without an open journal the changes are made without a record (single
// actions in tests, the path-only run changes nothing).
#include <cstdint>
#include <map>
#include <set>
#include <vector>
#include "base/Text.h"
#include "base/TextBasics.h"
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
// The running program's own file when the recovery undid its writing (it is
// the placeholder or the uninstaller of the undone run): it cannot remove
// itself while it runs, so it goes as the program ends, followed by the
// folders the run made around it (deepest first) once they are empty.
struct OwnFileLeft {
  ByteString file;
  std::vector<ByteString> folders;
};
// Rolls such a journal back (or finishes its commit) and removes it; false
// when there was none. Without `own` a run whose own file is running
// cannot be undone (the journal stays for the next start).
bool RecoverUnfinishedRun(JournalProgress progress = nullptr, OwnFileLeft* own = nullptr);

// Registry values by key path; missing keys are created (and entered).
bool JournalSetString(platform::Hive hive, const ByteString& key, const ByteString& name,
                      const ByteString& value);
bool JournalSetDword(platform::Hive hive, const ByteString& key, const ByteString& name, uint32_t value);
// Deletes the key with its subkeys and values, each entered to be restored.
void JournalDeleteKeyTree(platform::Hive hive, const ByteString& key);

// Enters a change before it is made (true without an open journal); a
// change whose entry could not be written is not made.
bool RecordChange(const ByteString& kind, std::vector<ByteString> fields);
// What the file writing keeps of the run; emptied when a journal opens,
// commits or rolls back.
struct RunFileMemory {
  std::map<ByteString, ByteString> pendingBackups;   // temporary name -> backup (empty: none)
  // Names compared without the case of A to Z, as the file system does.
  std::set<ByteString, AsciiCaseLess> madeFolders;
  std::set<ByteString, AsciiCaseLess> writtenFiles;  // replaced without a backup
  std::set<ByteString, AsciiCaseLess> places;        // the folders the journal names as the run's
  ByteString token;                                  // of the temporary names
  uint32_t counter = 0;
};
RunFileMemory& ThisRunsFiles();

// Tests: the journal closed and forgotten without undoing anything.
void ResetRunJournal();
