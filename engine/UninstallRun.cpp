#include "engine/UninstallRun.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "base/TextBasics.h"
#include "base/ByteStringList.h"
#include "engine/EngineValues.h"
#include "engine/ErrorList.h"
#include "engine/FolderAccess.h"
#include "engine/InstalledFiles.h"
#include "engine/RegistryValues.h"
#include "engine/RunJournal.h"
#include "engine/Uninstaller.h"
#include "package/Sections.h"
#include "package/ZLibHelpers.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

// Data files the user made with the product; they survive the uninstall.
bool IsKeptFile(const ByteString& path) {
  const ByteString extension = LowerFileExtension(path);
  return extension == ".qda" || extension == ".qlg" || extension == ".qdb";
}

void (*gProgressHook)(uint64_t, uint64_t) = nullptr;
std::chrono::steady_clock::time_point gLastReport;

// At most every few milliseconds, and for the last file.
void ReportUninstallProgress(uint64_t done, uint64_t total) {
  if (!gProgressHook) return;
  const auto now = std::chrono::steady_clock::now();
  if (done < total && now - gLastReport < std::chrono::milliseconds(15)) return;
  gLastReport = now;
  gProgressHook(done, total);
}

}  // namespace

std::unique_ptr<TQStringList> ReadUninstallInfo() {
  auto lines = std::make_unique<TQStringList>();
  LoadOwnSections();
  ByteString payload;
  ReadOwnSection(kSectionUninst, payload);
  if (payload.empty()) {
    ReportError("uninstall information not found");
    return lines;
  }
  lines->SplitText(DecompressBytes(payload));
  return lines;
}

bool UninstallLeftAfterRecovery(const OwnFileLeft& own) {
  if (!own.file.empty()) return false;
  LoadOwnSections();
  ByteString payload;
  ReadOwnSection(kSectionUninst, payload);
  return !payload.empty();
}

void RemoveUninstallEntry(const ByteString& key) {
  // The guard keeps the Uninstall key itself (and its other entries) safe:
  // "Uninstall\" + "\\\" would name the root once the system drops the
  // empty parts.
  if (TrimControls(key).size() < 3) return;
  if (key.front() == '\\' || key.back() == '\\' || key.find("\\\\") != ByteString::npos) return;
  JournalDeleteKeyTree(ScopeHive(), ByteString(kUninstallRoot) + "\\" + key);
}

void SetUninstallProgressHook(void (*hook)(uint64_t done, uint64_t total)) { gProgressHook = hook; }

namespace {

// An absolute path without "." or ".." parts: "X:\..." or "\\server\share\...".
bool IsPlainAbsolutePath(const ByteString& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
  const bool network = StartsWith(path, "\\\\") && path.size() > 2;
  if (!drive && !network) return false;
  for (std::size_t begin = drive ? 3 : 2; begin <= path.size();) {
    std::size_t end = path.find('\\', begin);
    if (end == ByteString::npos) end = path.size();
    const ByteString part = path.substr(begin, end - begin);
    if (part == "." || part == "..") return false;
    begin = end + 1;
  }
  return path.find('/') == ByteString::npos;
}

bool IsBelow(const ByteString& path, const std::vector<ByteString>& roots) {
  return std::any_of(roots.begin(), roots.end(), [&](const ByteString& root) { return AtOrBelowFolder(path, root); });
}

// The installation's folders: the program, data and start-menu folders the
// setup stored with the information; an older uninstaller without them
// names its folders only by its "dir=" lines.
std::vector<ByteString> InstallationRoots(const TQStringList& info) {
  std::vector<ByteString> roots;
  const auto add = [&](ByteString folder) {
    while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    // Never a drive root: everything would lie below it.
    if (IsPlainAbsolutePath(folder) && folder.size() > 3) roots.push_back(AsciiLower(folder));
  };
  for (const char* name : {"PgmPath", "DataPath", "MyStartMenu"}) {
    const ByteString folder = info.ValueOf(name);
    if (!folder.empty()) add(folder);
  }
  if (roots.empty())
    for (int32_t i = 0; i < info.Count(); ++i)
      if (StartsWith(info.ItemText(i), "dir=")) add(info.ItemText(i).substr(4));
  return roots;
}

// The removable lines of the information, in their stored order; the
// others are noted.
struct Removals {
  std::vector<ByteString> files;
  std::vector<ByteString> folders;  // descending, a subfolder before its parent
};

Removals CheckedRemovals(const TQStringList& info) {
  Removals removals;
  std::vector<ByteString> roots = InstallationRoots(info);
  // A shortcut may lie anywhere (the desktop); its folder is removed when emptied.
  std::vector<ByteString> lines, shortcutFolders;
  for (int32_t i = 0; i < info.Count(); ++i) {
    const ByteString line = info.ItemText(i);
    if (StartsWith(line, "file=") && LowerFileExtension(line) == ".lnk" && IsPlainAbsolutePath(line.substr(5))) {
      ByteString folder = line.substr(5, line.find_last_of('\\') - 5);
      while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
      shortcutFolders.push_back(AsciiLower(folder));
    }
  }
  for (int32_t i = 0; i < info.Count(); ++i) {
    const ByteString line = info.ItemText(i);
    const bool file = StartsWith(line, "file="), folder = StartsWith(line, "dir=");
    if (!file && !folder) continue;
    const ByteString path = line.substr(file ? 5 : 4);
    bool allowed = IsPlainAbsolutePath(path);
    if (allowed && file) allowed = IsBelow(path, roots) || LowerFileExtension(path) == ".lnk";
    if (allowed && folder) allowed = IsBelow(path, roots) || IsBelow(path, shortcutFolders);
    if (allowed) (file ? removals.files : removals.folders).push_back(path);
    else AddError("skipped, outside the installation: " + path);
  }
  return removals;
}

bool IsExisting(const ByteString& path) {
  return platform::FileAttributesOf(path) != platform::kInvalidFileAttributes;
}

}  // namespace

std::vector<ByteString> HeldInstalledFiles() {
  std::vector<ByteString> held;
  std::unique_ptr<TQStringList> info = ReadUninstallInfo();
  const ByteString self = AsciiLower(platform::ModuleFileName());
  for (const ByteString& path : CheckedRemovals(*info).files)
    if (!IsKeptFile(path) && AsciiLower(path) != self && platform::FileIsHeld(path)) held.push_back(path);
  return held;
}

bool RunUninstall(UninstallLeftovers* leftovers) {
  // Read and checked first: damaged information raises here, and missing
  // information ends the run, both with nothing removed and the entry kept.
  std::unique_ptr<TQStringList> info = ReadUninstallInfo();
  if (info->Count() == 0) return false;
  // A per-user installation's entry is in the user's hive.
  if (info->ValueOf("Scope") == "user") Scope = InstallScope::CurrentUser;
  const Removals removals = CheckedRemovals(*info);
  const ByteString self = AsciiLower(platform::ModuleFileName());
  // The folder opened to the users: no restart removal is left in it.
  if (DataPath.empty()) DataPath = info->ValueOf("DataPath");

  // Files, in the reverse order of their writing.
  bool everyFileHandled = true;
  std::vector<ByteString> atRestart;
  uint64_t removed = 0;
  const std::size_t files = removals.files.size();
  const auto fileAt = [&](std::size_t item) -> const ByteString& { return removals.files[files - 1 - item]; };
  ForEachInHeldFolders(files, fileAt, [&](std::size_t item) {
    const ByteString& path = fileAt(item);
    if (AsciiLower(path) == self) {
      if (leftovers) leftovers->file = path;
    } else if (!IsKeptFile(path) && IsExisting(path) && !RemoveWithoutLinks(path)) {
      // Held by a running program: the system removes it at the next restart.
      if (RemoveAtRestartOutsideDataFolder(path)) {
        atRestart.push_back(path);
        AddError("in use, removed at the next restart: " + path);
      } else {
        everyFileHandled = false;
        AddError("cannot remove " + path);
      }
    }
    ReportUninstallProgress(++removed, files);
  });
  // Folders, ascending (the lines are stored descending): a parent that
  // still holds a subfolder fails here and is tried again below.
  for (auto it = removals.folders.rbegin(); it != removals.folders.rend(); ++it) RemoveWithoutLinks(*it);
  for (const ByteString& folder : removals.folders) {
    const std::size_t slash = folder.find_last_of('\\');
    if (slash != ByteString::npos && slash > 0) RemoveWithoutLinks(folder.substr(0, slash));
    // A folder that holds a file left for the restart goes after it.
    for (const ByteString& file : atRestart)
      if (IsExisting(folder) && StartsWith(AsciiLower(file), AsciiLower(folder) + "\\")) {
        RemoveAtRestartOutsideDataFolder(folder);
        break;
      }
    if (leftovers && !leftovers->file.empty() && StartsWith(self, AsciiLower(folder + "\\").c_str())) {
      leftovers->folders.push_back(folder);
      // Never a bare "C:": that names the current folder of the drive.
      const ByteString parent = slash == ByteString::npos ? ByteString() : folder.substr(0, slash);
      if (parent.find('\\') != ByteString::npos) leftovers->folders.push_back(parent);
    }
  }
  if (leftovers) {
    std::stable_sort(leftovers->folders.begin(), leftovers->folders.end(),
                     [](const ByteString& a, const ByteString& b) { return a.size() > b.size(); });
    leftovers->atRestart = atRestart;
  }
  // The entry last: while a file stays that nothing would remove, the
  // installation keeps its entry and its uninstaller.
  if (!everyFileHandled) return false;
  RemoveUninstallEntry(ParamList->ValueOf("UninstallKey"));
  // When the setup reused an earlier entry, this key differs from the one
  // on the command line; both are removed.
  RemoveUninstallEntry(info->ValueOf("UninstallKey"));
  return true;
}
