#include "engine/FolderAccess.h"

#include <unordered_map>
#include <vector>

#include "base/TextBasics.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/PathVariables.h"
#include "engine/FileWriting.h"
#include "engine/RunJournal.h"
#include "platform/Files.h"
#include "platform/Security.h"
#include "platform/Shell.h"

namespace {

// The built-in users group by its SID: a name could be a local account of
// that name on a system in another language, and never everyone.
const char* const kUsersGroupSid = "S-1-5-32-545";

// Below the program folders, which the system protects itself.
bool InProgramFolders(const ByteString& folder) {
  const ByteString lower = AsciiLower(folder);
  for (const int csidl : {platform::kCsidlProgramFiles, platform::kCsidlProgramFilesX86}) {
    ByteString programs = AsciiLower(platform::SpecialFolder(0, csidl));
    while (!programs.empty() && programs.back() == '\\') programs.pop_back();
    if (!programs.empty() && StartsWith(lower, programs + "\\")) return true;
  }
  return false;
}

std::vector<ByteString> gWaitingGrants;

}  // namespace

bool MakeRunFolder(const ByteString& folder) {
  const bool inherits = PerUserRun() || FolderMadeByThisRun(ParentFolderOf(folder)) || InProgramFolders(folder);
  return inherits ? platform::MakeDirectory(folder) : platform::MakeProgramsProtectedFolder(folder);
}

bool SetFolderAccess(const ByteString& folder, const ByteString& trustee, platform::FolderGrant grant) {
  if (!platform::AclEntryPointsKnown()) {
    if (!platform::IsNtVersion5OrLater()) return false;
    if (!platform::LookUpAclEntryPoints()) return false;  // tried again next time
  }
  return platform::SetFolderDacl(folder, trustee, grant);
}

bool GrantFolderAccess(const ByteString& folder, platform::FolderGrant grant) {
  // Systems without access lists need nothing.
  if (!platform::IsNtVersion5OrLater()) return true;
  if (!SetFolderAccess(folder, kUsersGroupSid, grant)) return false;
  LastTrustee = kUsersGroupSid;
  return true;
}

bool GrantFolderAccessAtCommit(const ByteString& folder) {
  if (!RunJournalOpen()) return GrantFolderAccess(folder);
  gWaitingGrants.push_back(folder);
  return true;
}

bool GrantWaitingFolders() {
  bool entered = true;
  for (const ByteString& folder : gWaitingGrants) entered = entered && RecordChange("grant", {folder});
  gWaitingGrants.clear();
  if (!entered) AddError("the journal of the run cannot be written");
  return entered;
}

void MakeEnteredGrant(const ByteString& folder) {
  InFolderWithoutLinks(folder, [&] { return GrantFolderAccess(folder); });
}

void ForgetWaitingGrants() { gWaitingGrants.clear(); }

namespace {

// "C:\" of "C:\a\b", "\\server\share" of "\\server\share\a"; empty for any other path.
ByteString RootOf(const ByteString& path) {
  if (path.size() > 3 && path[1] == ':' && path[2] == '\\') return path.substr(0, 3);
  if (path.rfind("\\\\", 0) != 0) return ByteString();
  const std::size_t share = path.find('\\', 2);
  const std::size_t end = share == ByteString::npos ? share : path.find('\\', share + 1);
  return end == ByteString::npos ? ByteString() : path.substr(0, end);
}

// A refusal is final: it is said once and counts as handled.
bool Guarded(platform::GuardedChange change, const ByteString& path) {
  if (change != platform::GuardedChange::Refused) return change == platform::GuardedChange::Done;
  NoteRefusal("not followed: a link on the way to " + path);
  return true;
}

}  // namespace

// A path without a drive or share (a bare "C:") names nothing to change. A
// run for the user alone changes only what is the user's own, with the
// user's rights: its links (a profile's folders may be links) are followed.
bool RemoveWithoutLinks(const ByteString& path) {
  if (PerUserRun()) {
    const uint32_t attributes = platform::FileAttributesOf(path);
    return attributes != platform::kInvalidFileAttributes && (attributes & platform::kAttrDirectory)
               ? platform::RemoveEmptyDirectory(path)
               : platform::RemoveFile(path);
  }
  const ByteString root = RootOf(path);
  return !root.empty() && Guarded(platform::RemoveBelow(root, path), path);
}

bool RenameWithoutLinks(const ByteString& from, const ByteString& to, bool replace) {
  if (PerUserRun()) return platform::RenameFile(from, to, replace);
  const ByteString root = RootOf(from);
  return !root.empty() && Guarded(platform::RenameBelow(root, from, to, replace), from);
}

bool ChangeAttributesWithoutLinks(const ByteString& path, uint32_t attributes) {
  if (PerUserRun()) return platform::ChangeFileAttributes(path, attributes);
  const ByteString root = RootOf(path);
  return !root.empty() && Guarded(platform::ChangeAttributesBelow(root, path, attributes), path);
}

bool InFolderWithoutLinks(const ByteString& folder, const std::function<bool()>& change) {
  if (PerUserRun()) return change();
  ByteString held = folder;
  while (!held.empty() && held.back() == '\\') held.pop_back();
  const ByteString root = RootOf(held);
  if (root.empty()) return false;
  const platform::GuardedChange made = platform::InHeldFolder(root, held, change);
  if (made == platform::GuardedChange::Refused) NoteRefusal("not followed: a link on the way to " + held);
  return made == platform::GuardedChange::Done;
}

void ForEachInHeldFolders(std::size_t count, const std::function<ByteString(std::size_t)>& pathOf,
                          const std::function<void(std::size_t)>& each) {
  std::vector<ByteString> folders(count);
  std::unordered_map<ByteString, std::vector<std::size_t>> itemsIn;
  for (std::size_t item = 0; item < count; ++item) {
    const ByteString path = pathOf(item);
    if (path.empty()) continue;
    folders[item] = AsciiLower(ParentFolderOf(path));
    itemsIn[folders[item]].push_back(item);
  }
  for (std::size_t first = 0; first < count; ++first) {
    if (folders[first].empty()) {
      each(first);
      continue;
    }
    const auto group = itemsIn.find(folders[first]);
    if (group == itemsIn.end()) continue;  // run with its folder's first item
    const std::vector<std::size_t>& items = group->second;
    const ByteString root = RootOf(folders[first]);
    std::size_t done = 0;
    if (items.size() > 1 && !PerUserRun() && !root.empty() && folders[first] != AsciiLower(root))
      platform::InHeldFolder(root, ParentFolderOf(pathOf(first)), [&] {
        for (; done < items.size(); ++done) each(items[done]);
        return true;
      });
    for (; done < items.size(); ++done) each(items[done]);  // not held: each checks its own way
    itemsIn.erase(group);
  }
}

bool InDataFolder(const ByteString& path) {
  // Asked for every file a run writes: compared in place.
  return AtOrBelowFolder(path, WithoutTrailingBackslashesView(DataPath));
}

bool RemoveAtRestartOutsideDataFolder(const ByteString& path) {
  if (InDataFolder(path)) {
    NoteRefusal("not removed at the restart (in the data folder): " + path);
    return false;
  }
  return platform::RemoveAtRestart(path);
}

bool RemoveBackupAtRestart(const ByteString& path) {
  if (!InProgramFolders(path)) {
    NoteRefusal("not removed at the restart (in a folder users may change): " + path);
    return false;
  }
  return RemoveAtRestartOutsideDataFolder(path);
}
