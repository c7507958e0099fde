#include "engine/FileWriting.h"

#include <algorithm>
#include <set>

#include "base/ByteStringList.h"
#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/FolderAccess.h"
#include "engine/JournalPlace.h"
#include "engine/PathVariables.h"
#include "engine/RunJournal.h"
#include "engine/SystemFolders.h"
#include "platform/Files.h"
#include "platform/Shell.h"

namespace {

constexpr uint32_t kNotReplaceable = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem;

ByteString FolderPart(const ByteString& path) {
  const std::size_t separator = path.find_last_of("\\:");
  return separator == ByteString::npos ? ByteString() : path.substr(0, separator + 1);
}

bool Exists(const ByteString& path) { return platform::FileAttributesOf(path) != platform::kInvalidFileAttributes; }

// A short name in the file's own folder (a rename there never crosses volumes).
ByteString TemporaryIn(const ByteString& folder, char kind) {
  // One draw of the system's random generator per name: one name seen
  // tells nothing of the next. A name that stands already (planted) is
  // drawn again, a few times; a file that stands there anyway is refused by
  // the create.
  ByteString name;
  for (int draw = 0; draw < 8 && (name.empty() || Exists(name)); ++draw)
    name = folder + "~q" + kind + RandomToken() + ".tmp";
  return name;
}

// The journal names each folder the run works in before its first change
// there (the topmost one it makes, else the folder itself), and the data
// folder: a replay changes nothing outside them, and undoes in the data
// folder as the run would.
bool DeclareRunFolder(const ByteString& path) {
  auto& declared = ThisRunsFiles().places;
  if (InDataFolder(path)) {
    const ByteString data = WithoutTrailingBackslashes(DataPath);
    if (declared.insert(data).second && !RecordChange("place", {data, "data"})) return false;
  }
  const auto declaredAbove = [&](std::string_view below) {
    return std::any_of(declared.begin(), declared.end(),
                       [&](const ByteString& place) { return AtOrBelowFolder(below, place); });
  };
  // Asked for every file: answered without a copy of the name when its
  // folder is declared already.
  const std::string_view folder = WithoutTrailingBackslashesView(path);
  if (declaredAbove(folder)) return true;
  ByteString top(folder);
  for (ByteString current = top; current.size() >= 3 && !FolderExists(current);) {
    top = current;
    const ByteString parent = WithoutTrailingBackslashes(ParentFolderOf(current));
    if (parent == current) break;
    current = parent;
  }
  return declaredAbove(top) || (RecordChange("place", {top}) && declared.insert(top).second);
}

// Enters a file's write: the temporary name it is written under and, for a
// file that stands there (not this run's own), the backup it moves to. A
// new file needs neither when `newUnderItsName`: it is made under its own
// name (never over anything), and undoing it removes it, also cut off.
// False when the file may not be replaced or the entry cannot be written.
bool EnterFileWrite(const ByteString& path, bool newUnderItsName, ByteString& temporary, ByteString& backup) {
  RunFileMemory& run = ThisRunsFiles();
  const ByteString folder = FolderPart(path);
  const bool ours = run.writtenFiles.count(path) > 0;
  // In a folder this run made only its own files stand: no look-up (it
  // costs a scan of the folder for a name that is not there).
  const uint32_t attributes = !ours && FolderMadeByThisRun(folder) ? platform::kInvalidFileAttributes
                                                                    : platform::FileAttributesOf(path);
  const bool exists = attributes != platform::kInvalidFileAttributes;
  if (exists && (attributes & (platform::kAttrDirectory | kNotReplaceable))) return false;
  // A file this run wrote itself needs no backup: undoing its first write removes it.
  backup = exists && !ours ? TemporaryIn(folder, 'b') : ByteString();
  temporary = exists || !newUnderItsName ? TemporaryIn(folder, 'n') : ByteString();
  return DeclareRunFolder(folder) && RecordChange("file", {path, temporary, backup});
}

// Every file's folder is looked up in CreatedFolders through an index of
// its entries (compared without the case of A to Z), kept as long as nothing
// else changed the list since (else made again). A plain ASCII name is in the
// list exactly when the index holds it: for such names the list's comparison
// tells apart no more than the case of the letters. Any other name also
// asks the list.
struct EnsuredFolderIndex {
  const TQStringList* list = nullptr;
  uint64_t changes = 0;
  std::set<ByteString, AsciiCaseLess> names;

  void Refresh() {
    if (list == CreatedFolders && changes == CreatedFolders->ChangeCount()) return;
    names.clear();
    for (int32_t i = 0; i < CreatedFolders->Count(); ++i) names.insert(CreatedFolders->ItemText(i));
    list = CreatedFolders;
    changes = CreatedFolders->ChangeCount();
  }
};
EnsuredFolderIndex gEnsured;

bool AlreadyEnsured(std::string_view folder) {
  gEnsured.Refresh();
  if (gEnsured.names.count(folder) > 0) return true;
  const bool plainAscii =
      std::all_of(folder.begin(), folder.end(), [](char c) { return c >= ' ' && c <= '~'; });
  return !plainAscii && CreatedFolders->PositionOf(ByteString(folder)) >= 0;
}

// Records a folder in CreatedFolders, and in the index while it holds.
void AddEnsured(const ByteString& folder) {
  gEnsured.Refresh();
  CreatedFolders->Add(folder);
  // More than this one change (a notification changed the list): made
  // again on the next look-up.
  if (CreatedFolders->ChangeCount() > gEnsured.changes + 1) return;
  gEnsured.names.insert(folder);
  gEnsured.changes = CreatedFolders->ChangeCount();
}

}  // namespace

bool JournalMakeFolder(const ByteString& folder) {
  if (!RecordChange("dir", {folder})) return false;
  if (!MakeRunFolder(folder)) return false;
  ThisRunsFiles().madeFolders.insert(folder);
  return true;
}

bool FolderMadeByThisRun(std::string_view folder) {
  return ThisRunsFiles().madeFolders.count(WithoutTrailingBackslashesView(folder)) > 0;
}

ByteString JournalTemporaryName(const ByteString& path) {
  ByteString temporary, backup;
  if (!EnterFileWrite(path, false, temporary, backup)) return ByteString();
  ThisRunsFiles().pendingBackups[temporary] = backup;
  return temporary;
}

bool JournalPlaceFile(const ByteString& temporary, const ByteString& path) {
  RunFileMemory& run = ThisRunsFiles();
  const auto pending = run.pendingBackups.find(temporary);
  const ByteString backup = pending == run.pendingBackups.end() ? ByteString() : pending->second;
  if (pending != run.pendingBackups.end()) run.pendingBackups.erase(pending);
  if (!Exists(temporary)) return false;
  if (!backup.empty() && !platform::RenameFile(path, backup, false)) {
    platform::RemoveFile(temporary);
    return false;
  }
  if (!platform::RenameFile(temporary, path, true)) {
    if (!backup.empty()) platform::RenameFile(backup, path, false);
    platform::RemoveFile(temporary);
    return false;
  }
  ThisRunsFiles().writtenFiles.insert(path);
  // Without a journal there is no commit to wait for.
  if (!RunJournalOpen() && !backup.empty()) platform::RemoveFile(backup);
  return true;
}

bool JournalWriteFile(const ByteString& path, std::string_view data, platform::WriteFailure* why) {
  if (why) *why = platform::WriteFailure::Other;
  ByteString temporary, backup;
  if (!EnterFileWrite(path, true, temporary, backup)) return false;
  // A replaced file moves aside only once its successor is complete.
  bool movedAside = false;
  const auto moveAside = [&] { return movedAside = platform::RenameFile(path, backup, false); };
  const auto write = [&] {
    const bool written =
        temporary.empty() ? platform::WriteFileAsNew(path, data.data(), data.size(), why)
        : backup.empty()  ? platform::WriteThenPlace(temporary, path, data.data(), data.size(), nullptr, why)
                          : platform::WriteThenPlace(temporary, path, data.data(), data.size(), moveAside, why);
    if (!written && movedAside) platform::RenameFile(backup, path, false);
    return written;
  };
  // Users may change the data folder (an earlier installation opened it to
  // them): its names are used only while the way to it is held, link-free.
  const bool placed = InDataFolder(path) ? InFolderWithoutLinks(FolderPart(path), write) : write();
  if (!placed) return false;
  ThisRunsFiles().writtenFiles.insert(path);
  // Without a journal there is no commit to wait for.
  if (!RunJournalOpen() && !backup.empty()) platform::RemoveFile(backup);
  return true;
}

bool JournalSetAttributes(const ByteString& path, uint32_t attributes) {
  const uint32_t old = platform::FileAttributesOf(path);
  if (old == platform::kInvalidFileAttributes) return false;
  if (!DeclareRunFolder(FolderPart(path)) || !RecordChange("attr", {path, std::to_string(old)})) return false;
  return platform::ChangeFileAttributes(path, attributes);
}

void JournalMakeSystemFolder(const ByteString& folder) {
  const uint32_t old = platform::FileAttributesOf(folder);
  if (old == platform::kInvalidFileAttributes || !DeclareRunFolder(folder) ||
      !RecordChange("attr", {folder, std::to_string(old)}))
    return;
  platform::MakeSystemFolder(folder);
}

bool CreateFolderChain(const ByteString& path) {
  // Walks up to the first folder that exists (or a root), then creates the
  // missing folders top-down. Iterative, so that no path can exhaust the stack.
  // Below a folder this run made only its own folders stand, so they are
  // known without a look-up (a name that is not there costs a scan of its
  // folder); should one appear there all the same, its create fails.
  std::vector<ByteString> missing;
  ByteString current = WithoutTrailingBackslashes(path);
  while (current.size() >= 3 && !FolderMadeByThisRun(current)) {
    ByteString parent = ParentFolderOf(current);
    if (!FolderMadeByThisRun(parent) && FolderExists(current)) break;
    if (parent == current) break;
    missing.push_back(current);
    current = WithoutTrailingBackslashes(parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!JournalMakeFolder(*it)) return false;
  }
  return true;
}

bool EnsureFolder(std::string_view path) {
  const std::string_view name = WithoutTrailingBackslashesView(path);
  if (name.empty()) return false;
  // Asked for every file: answered without a copy of the name once made.
  if (AlreadyEnsured(name)) return true;
  const ByteString folder(name);
  if (!DeclareRunFolder(folder) || !CreateFolderChain(folder)) return false;
  AddEnsured(folder);
  // The users may change only the data folder and what lies below it, and
  // only where this run made it: a folder that existed keeps its access, and
  // below a granted folder the access is inherited. A folder that stays
  // closed is no failure.
  std::vector<ByteString> chain;
  for (ByteString current = folder; current.size() >= 3 && InDataFolder(current);
       current = WithoutTrailingBackslashes(ParentFolderOf(current)))
    chain.push_back(current);
  // A per-user installation is the user's own: nobody else is let in.
  if (PerUserRun()) chain.clear();
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!FolderMadeByThisRun(*it)) continue;
    GrantFolderAccessAtCommit(*it);
    break;
  }
  return true;
}
