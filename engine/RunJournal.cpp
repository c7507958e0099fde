#include "engine/RunJournal.h"

#include <chrono>
#include <thread>

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/FolderAccess.h"
#include "engine/JournalFormat.h"
#include "engine/JournalPlace.h"
#include "package/WholeFiles.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

using platform::Hive;
using platform::RegKey;

using Entry = JournalEntry;

bool Exists(const ByteString& path) { return platform::FileAttributesOf(path) != platform::kInvalidFileAttributes; }

ByteString ParentKey(const ByteString& key) {
  const std::size_t slash = key.find_last_of('\\');
  return slash == ByteString::npos || slash == 0 ? ByteString() : key.substr(0, slash);
}

struct JournalState {
  platform::AppendHandle file = 0;
  ByteString path;             // the journal file
  Hive hive = Hive::LocalMachine;  // where its anchor is
  bool committing = false;
  std::vector<Entry> entries;  // of this run, in their order
  RunFileMemory files;
};

JournalState& State() {
  static JournalState state;
  return state;
}

void RemoveKeyIfEmpty(Hive hive, const ByteString& key) {
  RegKey open = 0;
  if (!platform::RegOpen(hive, key, true, open)) return;
  const bool empty = platform::RegValueNames(open).empty() && platform::RegSubkeyNames(open).empty();
  platform::RegClose(open);
  const ByteString parent = ParentKey(key);
  if (!empty || parent.empty()) return;
  RegKey parentKey = 0;
  if (!platform::RegOpen(hive, parent, true, parentKey)) return;
  platform::RegDeleteSubkey(parentKey, key.substr(parent.size() + 1));
  platform::RegClose(parentKey);
}

// Another program (a virus scanner, the shell reading a program's icon for
// a new shortcut) may hold a file for a moment: a change is tried again every
// 100 ms while waits are left in `waitsLeft`.
constexpr int kPatientWaits = 20;  // two seconds
template <typename Change>
bool Patiently(Change change, int& waitsLeft) {
  for (;; --waitsLeft) {
    if (change()) return true;
    if (waitsLeft <= 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}
template <typename Change>
bool Patiently(Change change) {
  int waits = kPatientWaits;
  return Patiently(change, waits);
}

// Each undo looks at what is there, so that undoing twice (a kill during
// the rollback) does no harm. False when a file could not be put back: the
// journal then stays for the next start. The running program's own file,
// new in the run, is left to `own`, with the run's folders that hold it.
bool Undo(const Entry& entry, OwnFileLeft* own) {
  if (entry.kind == "file") {
    const ByteString& target = entry.Field(0);
    const ByteString& temporary = entry.Field(1);
    const ByteString& backup = entry.Field(2);
    bool undone = temporary.empty() || !Exists(temporary) ||
                  Patiently([&] { return RemoveWithoutLinks(temporary) || !Exists(temporary); });
    const bool running = own && AsciiLower(target) == AsciiLower(platform::ModuleFileName()) && Exists(target);
    if (running && backup.empty()) {
      own->file = target;
    } else if (running && Exists(backup)) {
      // A running program's file cannot be removed, but it can move aside
      // (to the name it was written under) for the file it replaced.
      undone = RenameWithoutLinks(target, temporary, false) &&
               Patiently([&] { return RenameWithoutLinks(backup, target, false); }) && undone;
      if (undone) own->file = temporary;
    } else if (backup.empty()) {
      // The file was new (or this run's own): it goes.
      undone = (!Exists(target) || Patiently([&] { return RemoveWithoutLinks(target) || !Exists(target); })) &&
               undone;
    } else if (Exists(backup)) {
      // Until its backup exists, the replaced file never moved.
      undone = Patiently([&] { return RenameWithoutLinks(backup, target, true); }) && undone;
    }
    if (!undone) AddError("cannot undo the write of " + target);
    return undone;
  } else if (entry.kind == "dir") {
    const ByteString& folder = entry.Field(0);
    if (!RemoveWithoutLinks(folder) && own && !own->file.empty() &&
        StartsWith(AsciiLower(own->file), AsciiLower(folder) + "\\"))
      own->folders.push_back(folder);
  } else if (entry.kind == "attr") {
    const int32_t attributes = IntOrMinusOne(entry.Field(1));
    if (attributes >= 0 && Exists(entry.Field(0)))
      ChangeAttributesWithoutLinks(entry.Field(0), static_cast<uint32_t>(attributes));
  } else if (entry.kind == "key") {
    RemoveKeyIfEmpty(HiveOfCode(entry.Field(0)), entry.Field(1));
  } else if (entry.kind == "keep") {
    RegKey key = 0;
    if (platform::RegCreate(HiveOfCode(entry.Field(0)), entry.Field(1), key)) platform::RegClose(key);
  } else if (entry.kind == "value") {
    const Hive hive = HiveOfCode(entry.Field(0));
    const ByteString& keyPath = entry.Field(1);
    const ByteString& name = entry.Field(2);
    RegKey key = 0;
    if (entry.Field(3).empty()) {
      if (platform::RegOpen(hive, keyPath, true, key)) platform::RegRemoveValue(key, name);
    } else if (platform::RegCreate(hive, keyPath, key)) {
      platform::RegSetRaw(key, name, static_cast<uint32_t>(IntOrZero(entry.Field(3))), BytesOfHex(entry.Field(4)));
    }
    platform::RegClose(key);
  }
  return true;
}

// The grants entered for the commit are made; the backups go, one that a
// running program still holds at the next restart. (No temporary file is left by then: a write that fails removes
// its own.)
std::vector<ByteString> gLeftForRestart;

void FinishCommit(const std::vector<Entry>& entries) {
  int waitsLeft = kPatientWaits;  // for all the backups together
  const auto backupOf = [&](std::size_t item) {
    return entries[item].kind == "file" ? entries[item].Field(2) : ByteString();
  };
  ForEachInHeldFolders(entries.size(), backupOf, [&](std::size_t item) {
    if (entries[item].kind == "grant") MakeEnteredGrant(entries[item].Field(0));
    const ByteString backup = backupOf(item);
    if (backup.empty() || !Exists(backup)) return;
    const bool removed = Patiently([&] { return RemoveWithoutLinks(backup); }, waitsLeft);
    if (!removed && RemoveBackupAtRestart(backup)) gLeftForRestart.push_back(backup);
  });
}

// True when every change was undone.
bool UndoAll(const std::vector<Entry>& entries, JournalProgress progress, OwnFileLeft* own = nullptr) {
  const uint64_t total = entries.size();
  uint64_t done = 0;
  bool all = true;
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    all = Undo(*it, own) && all;
    ++done;
    if (progress && (done % 16 == 0 || done == total)) progress(done, total);
  }
  return all;
}

void CloseState() {
  JournalState& state = State();
  platform::CloseAppend(state.file);
  state.file = 0;
}

bool KeyExists(Hive hive, const ByteString& key) {
  RegKey open = 0;
  if (!platform::RegOpen(hive, key, false, open)) return false;
  platform::RegClose(open);
  return true;
}

// Enters every missing key of the chain (topmost first), then creates it.
bool EnsureKey(Hive hive, const ByteString& key, RegKey& open) {
  std::vector<ByteString> missing;
  for (ByteString current = key; !current.empty() && !KeyExists(hive, current); current = ParentKey(current))
    missing.push_back(current);
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    if (!RecordChange("key", {HiveCode(hive), *it})) return false;
  return platform::RegCreate(hive, key, open);
}

template <typename SetFn>
bool SetValue(Hive hive, const ByteString& key, const ByteString& name, SetFn set) {
  RegKey open = 0;
  if (!EnsureKey(hive, key, open)) return false;
  uint32_t oldType = 0;
  ByteString oldData;
  const bool existed = platform::RegQuery(open, name, oldType, oldData);
  const bool ok = RecordChange("value", {HiveCode(hive), key, name, existed ? std::to_string(oldType) : ByteString(),
                                   existed ? HexOf(oldData) : ByteString()}) &&
                  set(open);
  platform::RegClose(open);
  return ok;
}

// Registry keys nest at most 512 deep; anything deeper is not a real tree.
void RecordAndDeleteTree(Hive hive, const ByteString& key, int depth) {
  if (depth > 512) return;
  RegKey open = 0;
  if (!platform::RegOpen(hive, key, true, open)) return;
  bool recorded = RecordChange("keep", {HiveCode(hive), key});
  for (const ByteString& name : platform::RegValueNames(open)) {
    uint32_t type = 0;
    ByteString data;
    if (recorded && platform::RegQuery(open, name, type, data))
      recorded = RecordChange("value", {HiveCode(hive), key, name, std::to_string(type), HexOf(data)});
  }
  const std::vector<ByteString> subkeys = platform::RegSubkeyNames(open);
  platform::RegClose(open);
  if (!recorded) return;  // what cannot be restored is not deleted
  for (const ByteString& name : subkeys) RecordAndDeleteTree(hive, key + "\\" + name, depth + 1);
  const ByteString parent = ParentKey(key);
  RegKey parentKey = 0;
  if (parent.empty() || !platform::RegOpen(hive, parent, true, parentKey)) return;
  platform::RegDeleteSubkey(parentKey, key.substr(parent.size() + 1));
  platform::RegClose(parentKey);
}

}  // namespace

const std::vector<ByteString>& FilesLeftForRestart() { return gLeftForRestart; }

bool OpenRunJournal() {
  RecoverUnfinishedRun();
  // A journal that could not be completed names changes still to undo: a
  // new run must not take its place.
  if (UnfinishedRunJournal()) return false;
  ResetRunJournal();
  JournalState& state = State();
  // The machine's registry when the run may write it, else the user's; a
  // per-user run leaves the machine alone.
  state.file = CreateJournal(ScopeHive(), state.path, state.hive);
  return state.file != 0;
}

bool RunJournalOpen() { return State().file != 0; }

bool RunCommitStarted() { return State().committing; }

void CommitRunJournal() {
  JournalState& state = State();
  if (!state.file) return;
  state.committing = true;
  RecordChange("commit", {});
  FinishCommit(state.entries);
  CloseState();
  RemoveJournal(state.path, state.hive);
  // The backups left for the restart outlive the run's state: the exit code
  // and the log name them.
  std::vector<ByteString> left = std::move(gLeftForRestart);
  ResetRunJournal();
  gLeftForRestart = std::move(left);
}

void RollBackRunJournal(JournalProgress progress) {
  JournalState& state = State();
  if (!state.file) return;
  CloseState();
  // What could not be undone now is undone by the next start.
  if (UndoAll(state.entries, progress)) RemoveJournal(state.path, state.hive);
  ResetRunJournal();
}

bool UnfinishedRunJournal() { return AnchorNamesJournal(); }

namespace {

// A journal is replayed as the run that wrote it: the machine's as a run for
// all users (nothing a user may change followed), with the data folder it
// named; the user's as the user's own.
class ReplayedAsItsRun {
public:
  ReplayedAsItsRun(Hive hive, const std::vector<Entry>& entries) : scope_(Scope), data_(DataPath) {
    Scope = hive == Hive::LocalMachine ? InstallScope::AllUsers : InstallScope::CurrentUser;
    for (const Entry& entry : entries)
      if (entry.kind == "place" && entry.Field(1) == "data") DataPath = entry.Field(0);
  }
  ~ReplayedAsItsRun() {
    Scope = scope_;
    DataPath = data_;
  }
  ReplayedAsItsRun(const ReplayedAsItsRun&) = delete;
  ReplayedAsItsRun& operator=(const ReplayedAsItsRun&) = delete;

private:
  InstallScope scope_;
  ByteString data_;
};

}  // namespace

bool RecoverUnfinishedRun(JournalProgress progress, OwnFileLeft* own) {
  SweepOrphanJournalFolders();
  bool found = false;
  for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
    const ByteString path = FindJournal(hive);
    if (path.empty()) continue;
    ByteString text;
    std::vector<Entry> entries;
    if (ReadWholeFile(path, text)) DecodeJournal(text, entries);
    const ByteString why = WhyNotReplayable(entries, path, hive);
    if (!why.empty()) {
      SetJournalAside(hive, path, why);
      continue;
    }
    found = true;
    bool committed = false;
    for (const Entry& entry : entries) committed = committed || entry.kind == "commit";
    OwnFileLeft left;
    {
      const ReplayedAsItsRun replay(hive, entries);
      if (committed) FinishCommit(entries);
      else if (!UndoAll(entries, progress, own ? &left : nullptr)) continue;  // the journal stays for the next start
    }
    RemoveJournal(path, hive);
    if (own && !left.file.empty()) *own = left;
  }
  return found;
}

bool RecordChange(const ByteString& kind, std::vector<ByteString> fields) {
  JournalState& state = State();
  if (!state.file) return true;
  Entry entry{kind, std::move(fields)};
  const ByteString line = EncodeEntry(entry);
  if (!platform::AppendBytes(state.file, line.data(), line.size())) return false;
  state.entries.push_back(std::move(entry));
  return true;
}


RunFileMemory& ThisRunsFiles() { return State().files; }

bool JournalSetString(Hive hive, const ByteString& key, const ByteString& name, const ByteString& value) {
  return SetValue(hive, key, name, [&](RegKey open) { return platform::RegSetString(open, name, value); });
}

bool JournalSetDword(Hive hive, const ByteString& key, const ByteString& name, uint32_t value) {
  return SetValue(hive, key, name, [&](RegKey open) { return platform::RegSetDword(open, name, value); });
}

void JournalDeleteKeyTree(Hive hive, const ByteString& key) { RecordAndDeleteTree(hive, key, 0); }

void ResetRunJournal() {
  CloseState();
  JournalState& state = State();
  state = JournalState();
  gLeftForRestart.clear();
}
